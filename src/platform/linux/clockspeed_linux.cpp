#include "clockspeed_linux.h"

#include "procfs.h"
#include "sysroot.h"

#include <climits>

namespace zentaro::platform {

std::unique_ptr<ClockSpeedSource> CreateClockSpeedSource(const std::string& systemRoot) {
    return std::make_unique<linux_impl::LinuxClockSpeed>(systemRoot);
}

namespace linux_impl {

LinuxClockSpeed::LinuxClockSpeed(const std::string& systemRoot)
    : curFreqPath_(UnderRoot(systemRoot, "/sys/devices/system/cpu/cpu0/cpufreq/scaling_cur_freq")),
      cpuinfoPath_(UnderRoot(systemRoot, "/proc/cpuinfo")) {}

int LinuxClockSpeed::QueryCurrentClockSpeed() noexcept {
    try {
        if (const auto khz = ReadWholeNumber(curFreqPath_)) {
            if (const auto mhz = KhzToMhz(*khz, INT_MAX))
                return static_cast<int>(*mhz);
        }
        if (const auto block = ReadFirstProcessorBlock(cpuinfoPath_)) {
            if (const auto mhz = CpuinfoMhz(*block, INT_MAX))
                return static_cast<int>(*mhz);
        }
    } catch (...) {
        // Out of memory while reading: no sample this time.
    }
    return -1;
}

} // namespace linux_impl
} // namespace zentaro::platform
