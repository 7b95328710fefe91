#include "sysinfo/machinefacts.h"

#include "sysinfo/clocksampler.h"
#include "sysinfo/processorinfo.h"

#include <exception>

namespace zentaro::sysinfo {

MachineFacts CollectMachineFacts(platform::Registry& registry, const platform::SystemInfo& system,
                                 platform::ClockSpeedSource& clock) {
    MachineFacts facts;
    try {
        const CpuInfo cpu = GetCPUInfo(registry);
        facts.cpuName = cpu.name;
        facts.baseSpeed = cpu.baseSpeed;
        facts.baseSpeedMhz = cpu.baseMhz;
    } catch (const std::exception& e) {
        facts.error = e.what();
    }
    const ArchitectureInfo arch = ShowSystemCPUArchitecture(system);
    facts.architecture = arch.architecture;
    facts.threads = system.Basic().logicalProcessors;
    ClockSampler sampler(clock);
    sampler.Sample();
    facts.currentSpeed = sampler.valueText();
    facts.currentSpeedMhz = sampler.valueMhz();
    return facts;
}

} // namespace zentaro::sysinfo
