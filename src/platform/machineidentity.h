#pragma once

#include <memory>
#include <string>

namespace zentaro::platform {

// The identifier the system gives this installation. It is a secret of the
// machine: callers derive what they send from it and never send it as it is.
struct MachineId {
    enum class Status {
        Found,      // value holds it
        Missing,    // the system has none
        Unreadable, // there is one, but it could not be read or is malformed
    };
    Status status = Status::Missing;
    std::string value; // lower-case hexadecimal digits when Found
};

class MachineIdentity {
public:
    virtual ~MachineIdentity() = default;
    virtual MachineId ReadMachineId() const = 0;
};

std::unique_ptr<MachineIdentity> CreateMachineIdentity();

} // namespace zentaro::platform
