#pragma once

#include "platform/clockspeed.h"
#include "platform/registry.h"
#include "platform/systeminfo.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zentaro::sysinfo {

// The five facts of the top panel as their labels read, for reports without a
// window.
struct MachineFacts {
    std::string cpuName = "Unknown";
    std::string architecture = "Unknown";
    std::uint32_t threads = 1;
    std::string baseSpeed = "Unknown";
    std::string currentSpeed = "Unknown"; // one sample; "Unknown" when it failed
    // The numbers in the two speeds, for machine-readable reports; empty
    // where the text is "Unknown".
    std::optional<std::uint32_t> baseSpeedMhz;
    std::optional<int> currentSpeedMhz;
    std::string error; // why name and base speed stayed "Unknown", if a read failed
};

// Gathers the facts in the window's order: processor key, system information,
// one clock sample. A failed registry read leaves name and base speed
// "Unknown" and says why in error; it does not stop the rest.
MachineFacts CollectMachineFacts(platform::Registry& registry, const platform::SystemInfo& system,
                                 platform::ClockSpeedSource& clock);

} // namespace zentaro::sysinfo
