#pragma once

#include <string>

namespace zentaro {

// Where the program's web addresses point. Each is a build setting of the same
// name in CMake, unless the environment variable of that name gives another,
// for tests and self-hosting.

// The maker's web server (ZENTARO_SERVER_HOST).
std::string ServerHost();
// The web hosts of the X and Facebook share pages (ZENTARO_X_HOST,
// ZENTARO_FACEBOOK_HOST).
std::string XShareHost();
std::string FacebookShareHost();

} // namespace zentaro
