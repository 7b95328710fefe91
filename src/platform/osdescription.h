#pragma once

#include <memory>
#include <string>

namespace zentaro::platform {

// What the system says it is, for the update check's description of it.
struct OsFacts {
    std::string productName; // e.g. "Debian GNU/Linux 12 (bookworm)"
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;
    unsigned servicePackMajor = 0; // 0: none installed
    bool x64 = false;              // an x86-64 system
};

class OsDescription {
public:
    virtual ~OsDescription() = default;
    // Never fails: what cannot be read is left at its empty or zero value.
    virtual OsFacts Describe() const = 0;
};

std::unique_ptr<OsDescription> CreateOsDescription();

} // namespace zentaro::platform
