#include "about/aboutlinks.h"

namespace zentaro::about {

std::string HomePageAddress(std::string_view serverHost) {
    return "http://" + std::string(serverHost) + "/";
}

std::string AcknowledgementsAddress(std::string_view serverHost) {
    return "https://" + std::string(serverHost) + "/blog/credits-and-acknowledgements/";
}

std::string UninstallGuideAddress(std::string_view serverHost) {
    return "http://" + std::string(serverHost) + "/blog/how-to-uninstall-kestrix-software/";
}

std::string FormatWithOneString(std::string_view pattern, std::string_view value) {
    std::string out;
    out.reserve(pattern.size() + value.size());
    bool used = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (pattern[i + 1] == 's' && !used) {
                out += value;
                used = true;
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

} // namespace zentaro::about
