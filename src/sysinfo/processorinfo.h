#pragma once

#include "platform/registry.h"
#include "platform/systeminfo.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zentaro::sysinfo {

inline constexpr const char* kUnknown = "Unknown";

// What GetCPUInfo puts into the name and base speed labels.
struct CpuInfo {
    std::string name = kUnknown;          // exactly as stored, blanks and all
    std::string baseSpeed = kUnknown;     // "3600 MHz"
    std::optional<std::uint32_t> baseMhz; // the number in baseSpeed, when it has one
};

// Reads the first processor's key. A value of the wrong type throws
// platform::RegistryError (the key is closed first); the labels then keep
// their "Unknown".
CpuInfo GetCPUInfo(platform::Registry& registry);

// What ShowSystemCPUArchitecture puts into the architecture and threads labels.
struct ArchitectureInfo {
    std::string architecture; // "x64", "x86", "ARM" or "Unknown"
    std::string threads;      // logical processors, decimal
};

ArchitectureInfo ShowSystemCPUArchitecture(const platform::SystemInfo& system);

std::string ArchitectureWord(std::uint16_t code);

// "<mhz> MHz"
std::string MhzText(long long mhz);

} // namespace zentaro::sysinfo
