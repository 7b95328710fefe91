#include "app/serverhost.h"

#include <cstdlib>

namespace zentaro {

namespace {
std::string Setting(const char* variable, const char* builtIn) {
    if (const char* value = std::getenv(variable); value && *value)
        return value;
    return builtIn;
}
} // namespace

std::string ServerHost() {
    return Setting("ZENTARO_SERVER_HOST", ZENTARO_DEFAULT_SERVER_HOST);
}

std::string XShareHost() {
    return Setting("ZENTARO_X_HOST", ZENTARO_DEFAULT_X_HOST);
}

std::string FacebookShareHost() {
    return Setting("ZENTARO_FACEBOOK_HOST", ZENTARO_DEFAULT_FACEBOOK_HOST);
}

} // namespace zentaro
