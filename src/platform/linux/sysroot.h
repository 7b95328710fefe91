#pragma once

#include <optional>
#include <string>

namespace zentaro::platform::linux_impl {

// Paths under a system root: "/" on a real machine, a fixture folder in tests.
std::string UnderRoot(const std::string& root, const std::string& absolutePath);

// The whole file, or nothing when it is missing or unreadable.
std::optional<std::string> ReadWholeFile(const std::string& path);

} // namespace zentaro::platform::linux_impl
