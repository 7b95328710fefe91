#include "platform/settingslocation.h"

namespace zentaro::platform {

// Qt's native format keeps them under HKEY_CURRENT_USER\Software\<organisation>.
SettingsLocation UserSettingsLocation(const std::string&, const std::string&) {
    return {true, {}};
}

} // namespace zentaro::platform
