#include "platform/userlanguage.h"

#include <windows.h>

namespace zentaro::platform {

namespace {

class WindowsUserLanguage final : public UserLanguage {
public:
    LanguageId DisplayLanguageId() const override {
        const LANGID id = ::GetUserDefaultUILanguage();
        return id != 0 ? static_cast<LanguageId>(id) : kEnglishUnitedStates;
    }
};

} // namespace

std::unique_ptr<UserLanguage> CreateSystemUserLanguage() {
    return std::make_unique<WindowsUserLanguage>();
}

} // namespace zentaro::platform
