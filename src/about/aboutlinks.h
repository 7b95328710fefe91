#pragma once

#include <string>
#include <string_view>

namespace zentaro::about {

// The maker's pages the About window opens, on the given web server.
std::string HomePageAddress(std::string_view serverHost);
std::string AcknowledgementsAddress(std::string_view serverHost);
std::string UninstallGuideAddress(std::string_view serverHost);

// pattern with its "%s" replaced by value and "%%" by a single "%", as a format
// with one string argument does; a second "%s" is left as it is (there is no
// second argument), and so is any other "%".
std::string FormatWithOneString(std::string_view pattern, std::string_view value);

} // namespace zentaro::about
