#include "sysinfo/processorinfo.h"

namespace zentaro::sysinfo {

std::string MhzText(long long mhz) {
    return std::to_string(mhz) + " MHz";
}

CpuInfo GetCPUInfo(platform::Registry& registry) {
    CpuInfo info;
    // The key closes when it goes out of scope, on the error path too.
    const auto key =
        registry.OpenKeyReadOnly(platform::RegistryRoot::LocalMachine, platform::kProcessorKeyPath);
    if (!key)
        return info;
    if (key->ValueExists("ProcessorNameString"))
        info.name = key->ReadString("ProcessorNameString");
    if (key->ValueExists("~MHz")) {
        info.baseMhz = key->ReadInteger("~MHz");
        info.baseSpeed = MhzText(*info.baseMhz);
    }
    return info;
}

std::string ArchitectureWord(std::uint16_t code) {
    switch (code) {
    case platform::kArchitectureIntel:
        return "x86";
    case platform::kArchitectureArm:
        return "ARM";
    case platform::kArchitectureAmd64:
        return "x64";
    default:
        return kUnknown;
    }
}

ArchitectureInfo ShowSystemCPUArchitecture(const platform::SystemInfo& system) {
    const platform::BasicSystemInfo basic = system.Basic();
    return {ArchitectureWord(basic.architecture), std::to_string(basic.logicalProcessors)};
}

} // namespace zentaro::sysinfo
