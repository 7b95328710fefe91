#include "registry_linux.h"

#include "platform/registryvalues.h"
#include "platform/textfold.h"
#include "procfs.h"
#include "sysroot.h"

#include <cstdint>

namespace zentaro::platform {

std::unique_ptr<Registry> CreateSystemRegistry(const std::string& systemRoot) {
    return std::make_unique<linux_impl::LinuxRegistry>(systemRoot);
}

namespace linux_impl {

namespace {

constexpr long long kMaxU32 = 0xFFFFFFFFLL;

bool SamePath(std::string_view a, std::string_view b) {
    auto strip = [](std::string_view s) {
        while (!s.empty() && s.front() == '\\')
            s.remove_prefix(1);
        return s;
    };
    return EqualsFoldingAscii(strip(a), strip(b));
}

} // namespace

std::optional<std::uint32_t> RatedSpeedMhz(const std::string& systemRoot,
                                           const std::optional<std::string>& firstProcessor) {
    const std::string cpu0 = "/sys/devices/system/cpu/cpu0";
    // kHz; a zero means the driver does not know.
    if (const auto khz = ReadWholeNumber(UnderRoot(systemRoot, cpu0 + "/cpufreq/base_frequency"));
        khz && *khz > 0) {
        if (const auto mhz = KhzToMhz(*khz, kMaxU32))
            return static_cast<std::uint32_t>(*mhz);
    }
    // MHz; zero when the firmware leaves it out.
    if (const auto mhz = ReadWholeNumber(UnderRoot(systemRoot, cpu0 + "/acpi_cppc/nominal_freq"));
        mhz && *mhz > 0 && *mhz <= kMaxU32)
        return static_cast<std::uint32_t>(*mhz);
    if (firstProcessor) {
        if (const auto mhz = CpuinfoMhz(*firstProcessor, kMaxU32))
            return static_cast<std::uint32_t>(*mhz);
    }
    return std::nullopt;
}

std::unique_ptr<RegistryKey> LinuxRegistry::OpenKeyReadOnly(RegistryRoot root,
                                                            const std::string& path) {
    if (root != RegistryRoot::LocalMachine || !SamePath(path, kProcessorKeyPath))
        return nullptr;
    const auto first = ReadFirstProcessorBlock(UnderRoot(root_, "/proc/cpuinfo"));
    const auto speed = RatedSpeedMhz(root_, first);
    if (!first && !speed)
        return nullptr; // nothing to describe the processor with
    auto key = std::make_unique<RegistryValuesKey>();
    if (first) {
        if (auto name = CpuinfoField(*first, "model name"))
            key->Set("ProcessorNameString", std::move(*name));
    }
    if (speed)
        key->Set("~MHz", *speed);
    return key;
}

} // namespace linux_impl
} // namespace zentaro::platform
