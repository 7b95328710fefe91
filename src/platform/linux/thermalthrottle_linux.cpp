#include "platform/thermalthrottle.h"
#include "procfs.h"
#include "sysroot.h"

#include <cstdint>

namespace zentaro::platform {

namespace {

// Processors that count their slow-downs for heat keep the counts under
// cpuN/thermal_throttle: one for the core, one for the package it sits in.
class LinuxThermalThrottle final : public ThermalThrottle {
public:
    explicit LinuxThermalThrottle(const std::string& root)
        : cpuFolder_(linux_impl::UnderRoot(root, "/sys/devices/system/cpu")) {}

    std::map<unsigned, std::uint64_t> ThrottleCounts() const override {
        std::map<unsigned, std::uint64_t> counts;
        try {
            for (const unsigned cpu : linux_impl::ProcessorNumbers(cpuFolder_)) {
                const std::string folder =
                    cpuFolder_ + "/cpu" + std::to_string(cpu) + "/thermal_throttle/";
                bool any = false;
                std::uint64_t sum = 0;
                for (const char* counter : {"core_throttle_count", "package_throttle_count"}) {
                    if (const auto n = linux_impl::ReadWholeNumber(folder + counter)) {
                        any = true;
                        const auto add = static_cast<std::uint64_t>(*n);
                        sum = sum + add < sum ? UINT64_MAX : sum + add;
                    }
                }
                if (any)
                    counts[cpu] = sum;
            }
        } catch (...) {
            counts.clear(); // out of memory: as if there were no counters
        }
        return counts;
    }

private:
    std::string cpuFolder_;
};

} // namespace

std::unique_ptr<ThermalThrottle> CreateThermalThrottle(const std::string& systemRoot) {
    return std::make_unique<LinuxThermalThrottle>(systemRoot);
}

} // namespace zentaro::platform
