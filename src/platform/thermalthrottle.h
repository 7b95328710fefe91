#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace zentaro::platform {

// How often the processors have slowed themselves down because they ran too
// hot, counted by the processors themselves since the system started.
class ThermalThrottle {
public:
    virtual ~ThermalThrottle() = default;
    // Processor number to its count (all of its counters together); only
    // processors that keep such counters appear. Asks the system afresh.
    // Never throws.
    virtual std::map<unsigned, std::uint64_t> ThrottleCounts() const = 0;
};

// systemRoot as for CreateSystemRegistry.
std::unique_ptr<ThermalThrottle> CreateThermalThrottle(const std::string& systemRoot = "/");

} // namespace zentaro::platform
