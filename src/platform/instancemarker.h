#pragma once

#include <memory>
#include <string>

namespace zentaro::platform {

// A system-wide mark, by name, that a copy of the program is running. It never
// keeps a second copy from starting; it lasts until it is destroyed or the
// process ends.
class InstanceMarker {
public:
    virtual ~InstanceMarker() = default;
};

// Never fails: a mark that cannot be made is simply not there.
std::unique_ptr<InstanceMarker> CreateInstanceMarker(const std::string& name);

} // namespace zentaro::platform
