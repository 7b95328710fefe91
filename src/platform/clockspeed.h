#pragma once

#include <memory>
#include <string>

namespace zentaro::platform {

// The present speed of the first processor.
class ClockSpeedSource {
public:
    virtual ~ClockSpeedSource() = default;
    // Megahertz (0 or more), or -1 when it cannot be had. Never throws; every
    // call asks the system afresh.
    virtual int QueryCurrentClockSpeed() noexcept = 0;
};

// systemRoot as for CreateSystemRegistry.
std::unique_ptr<ClockSpeedSource> CreateClockSpeedSource(const std::string& systemRoot = "/");

} // namespace zentaro::platform
