#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zentaro::platform {

// Processor time over all processors since the system started, in the
// system's own unit. Only differences between two readings mean anything.
struct ProcessorTimeTotals {
    std::uint64_t busy = 0;  // not idle: running work, serving interrupts, or
                             // taken by the host of a virtual machine
    std::uint64_t total = 0; // busy and idle together
};

class ProcessorTimes {
public:
    virtual ~ProcessorTimes() = default;
    // Asks the system afresh; nothing when it cannot be read. Never throws.
    virtual std::optional<ProcessorTimeTotals> Totals() const = 0;
};

// systemRoot as for CreateSystemRegistry.
std::unique_ptr<ProcessorTimes> CreateProcessorTimes(const std::string& systemRoot = "/");

} // namespace zentaro::platform
