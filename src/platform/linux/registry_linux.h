#pragma once

#include "platform/registry.h"

#include <optional>
#include <string>

namespace zentaro::platform::linux_impl {

// Linux has no registry; the processor key is built from /proc and /sys under a
// system root:
//   ProcessorNameString  the first processor's "model name" in /proc/cpuinfo
//   ~MHz                 the rated speed: cpufreq base_frequency, else ACPI CPPC
//                        nominal_freq, else the first processor's "cpu MHz"
// Other keys do not exist.
class LinuxRegistry : public Registry {
public:
    explicit LinuxRegistry(std::string systemRoot) : root_(std::move(systemRoot)) {}
    std::unique_ptr<RegistryKey> OpenKeyReadOnly(RegistryRoot root,
                                                 const std::string& path) override;

private:
    std::string root_;
};

// The rated speed in MHz from the sources above, in their order.
std::optional<std::uint32_t> RatedSpeedMhz(const std::string& systemRoot,
                                           const std::optional<std::string>& firstProcessor);

} // namespace zentaro::platform::linux_impl
