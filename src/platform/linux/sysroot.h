#pragma once

#include <string>

namespace zentaro::platform::linux_impl {

// Paths under a system root: "/" on a real machine, a fixture folder in tests.
std::string UnderRoot(const std::string& root, const std::string& absolutePath);

} // namespace zentaro::platform::linux_impl
