#include "platform/powersupply.h"
#include "procfs.h"
#include "sysroot.h"

namespace zentaro::platform {

namespace {

// The supplies under /sys/class/power_supply. Each says its type; a supply
// that feeds an attached device rather than the machine says scope "Device".
// A battery without a "present" file is there; one with "present" 0 is an
// empty bay.
class LinuxPowerSupply final : public PowerSupply {
public:
    explicit LinuxPowerSupply(const std::string& root)
        : folder_(linux_impl::UnderRoot(root, "/sys/class/power_supply")) {}

    PowerSupplyState State() const override {
        PowerSupplyState state;
        try {
            for (const std::string& name : linux_impl::FolderEntries(folder_)) {
                const std::string supply = folder_ + "/" + name;
                if (linux_impl::ReadShortText(supply + "/scope") == "Device")
                    continue;
                const auto type = linux_impl::ReadShortText(supply + "/type");
                if (type == "Battery") {
                    if (linux_impl::ReadWholeNumber(supply + "/present").value_or(1) != 0)
                        state.systemBattery = true;
                } else if (type == "Mains" || type == "USB") {
                    if (linux_impl::ReadWholeNumber(supply + "/online").value_or(0) != 0)
                        state.externalPower = true;
                }
            }
        } catch (...) {
            state = {}; // out of memory: as if the system said nothing
        }
        return state;
    }

private:
    std::string folder_;
};

} // namespace

std::unique_ptr<PowerSupply> CreatePowerSupply(const std::string& systemRoot) {
    return std::make_unique<LinuxPowerSupply>(systemRoot);
}

} // namespace zentaro::platform
