#pragma once

#include <string>

namespace zentaro {

// The host name of the maker's web server: the build's default (the CMake
// setting ZENTARO_SERVER_HOST), unless the environment variable of the same
// name gives another, for tests and self-hosting.
std::string ServerHost();

} // namespace zentaro
