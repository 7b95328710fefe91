#pragma once

#include "platform/systeminfo.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zentaro::platform::linux_impl {

// The machine type of uname(), as an architecture code.
std::uint16_t ArchitectureForMachine(std::string_view machine);

// Logical processors in this process's affinity mask; at least 1.
std::uint32_t AffinityProcessorCount();

class LinuxSystemInfo : public SystemInfo {
public:
    // The live machine: uname() and the affinity mask.
    LinuxSystemInfo();
    // Given facts, for tests.
    LinuxSystemInfo(std::string machine, std::uint32_t logicalProcessors);

    BasicSystemInfo Basic() const override;

private:
    std::string machine_;
    std::uint32_t processors_;
};

} // namespace zentaro::platform::linux_impl
