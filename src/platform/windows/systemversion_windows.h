#pragma once

#include <optional>

namespace zentaro::platform::windows_impl {

struct SystemVersion {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;
    unsigned servicePackMajor = 0;
};

// The version of the running system as its kernel reports it; nothing when the
// kernel cannot be asked. GetVersionEx is of no use here: without a manifest
// that names the newer systems it reports Windows 8 on every later one.
std::optional<SystemVersion> RunningSystemVersion();

} // namespace zentaro::platform::windows_impl
