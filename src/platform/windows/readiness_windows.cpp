// The machine's state before a benchmark, from the system's own reports.
#include "platform/frequencygovernors.h"
#include "platform/hypervisor.h"
#include "platform/powersupply.h"
#include "platform/processortimes.h"
#include "platform/thermalthrottle.h"

#include <windows.h>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>
#endif

namespace zentaro::platform {

namespace {

// Windows has no clock policy per processor; its power plan is a set of
// settings, not a name a benchmark could check. Nothing is reported.
class WindowsFrequencyGovernors final : public FrequencyGovernors {
public:
    std::vector<std::string> Governors() const override { return {}; }
};

// The system's power status: a battery flag of 128 says there is no system
// battery, 255 that the status is unknown.
class WindowsPowerSupply final : public PowerSupply {
public:
    PowerSupplyState State() const override {
        SYSTEM_POWER_STATUS status{};
        if (!::GetSystemPowerStatus(&status))
            return {};
        PowerSupplyState state;
        state.systemBattery = status.BatteryFlag != 128 && status.BatteryFlag != 255;
        state.externalPower = status.ACLineStatus == 1;
        return state;
    }
};

std::uint64_t Ticks(const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// Idle, kernel and user time over all processors, in 100 ns units; kernel
// time includes the idle time.
class WindowsProcessorTimes final : public ProcessorTimes {
public:
    std::optional<ProcessorTimeTotals> Totals() const override {
        FILETIME idle{}, kernel{}, user{};
        if (!::GetSystemTimes(&idle, &kernel, &user))
            return std::nullopt;
        const std::uint64_t total = Ticks(kernel) + Ticks(user);
        if (total < Ticks(user) || Ticks(idle) > total)
            return std::nullopt; // not a real reading
        return ProcessorTimeTotals{total - Ticks(idle), total};
    }
};

// Windows keeps no count of the processors' slow-downs for heat that a
// program could read.
class WindowsThermalThrottle final : public ThermalThrottle {
public:
    std::map<unsigned, std::uint64_t> ThrottleCounts() const override { return {}; }
};

// The hypervisor-present bit the processor reports (CPUID leaf 1, ECX bit 31).
class WindowsHypervisor final : public Hypervisor {
public:
    bool RunsUnderHypervisor() const override {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        if (__get_cpuid(1, &eax, &ebx, &ecx, &edx))
            return (ecx >> 31) & 1u;
#endif
        return false;
    }
};

} // namespace

// The system root is a Linux notion; these read the live system.
std::unique_ptr<FrequencyGovernors> CreateFrequencyGovernors(const std::string&) {
    return std::make_unique<WindowsFrequencyGovernors>();
}

std::unique_ptr<PowerSupply> CreatePowerSupply(const std::string&) {
    return std::make_unique<WindowsPowerSupply>();
}

std::unique_ptr<ProcessorTimes> CreateProcessorTimes(const std::string&) {
    return std::make_unique<WindowsProcessorTimes>();
}

std::unique_ptr<ThermalThrottle> CreateThermalThrottle(const std::string&) {
    return std::make_unique<WindowsThermalThrottle>();
}

std::unique_ptr<Hypervisor> CreateHypervisor(const std::string&) {
    return std::make_unique<WindowsHypervisor>();
}

} // namespace zentaro::platform
