#pragma once

#include <memory>
#include <string>

namespace zentaro::platform {

// Administrator rights: whether the program has them, and starting it again
// with them.
class Elevation {
public:
    virtual ~Elevation() = default;

    virtual bool IsElevated() const = 0;
    // Asks the system to start executable with administrator rights (the user
    // is asked to confirm) and returns without waiting. Whether it started is
    // not known to the caller.
    virtual void StartElevated(const std::string& executable) = 0;
};

std::unique_ptr<Elevation> CreateElevation();

} // namespace zentaro::platform
