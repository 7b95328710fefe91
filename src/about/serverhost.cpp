#include "about/serverhost.h"

#include <cstdlib>

namespace zentaro {

std::string ServerHost() {
    if (const char* host = std::getenv("ZENTARO_SERVER_HOST"); host && *host)
        return host;
    return ZENTARO_DEFAULT_SERVER_HOST;
}

} // namespace zentaro
