#pragma once

#include <cstdint>
#include <memory>

namespace zentaro::platform {

// Processor architecture codes of the basic system information.
inline constexpr std::uint16_t kArchitectureIntel = 0; // 32-bit x86
inline constexpr std::uint16_t kArchitectureArm = 5;   // 32-bit ARM
inline constexpr std::uint16_t kArchitectureAmd64 = 9; // x86-64
inline constexpr std::uint16_t kArchitectureArm64 = 12;
inline constexpr std::uint16_t kArchitectureUnknown = 0xFFFF;

struct BasicSystemInfo {
    std::uint16_t architecture = kArchitectureUnknown;
    std::uint32_t logicalProcessors = 1; // those this process may run on
};

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    virtual BasicSystemInfo Basic() const = 0;
};

std::unique_ptr<SystemInfo> CreateSystemInfo();

} // namespace zentaro::platform
