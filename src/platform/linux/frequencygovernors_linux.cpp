#include "platform/frequencygovernors.h"
#include "procfs.h"
#include "sysroot.h"

namespace zentaro::platform {

namespace {

// cpufreq's scaling_governor of every processor; without cpufreq there is none.
class LinuxFrequencyGovernors final : public FrequencyGovernors {
public:
    explicit LinuxFrequencyGovernors(const std::string& root)
        : cpuFolder_(linux_impl::UnderRoot(root, "/sys/devices/system/cpu")) {}

    std::vector<std::string> Governors() const override {
        std::vector<std::string> names;
        try {
            for (const unsigned cpu : linux_impl::ProcessorNumbers(cpuFolder_)) {
                const std::string path =
                    cpuFolder_ + "/cpu" + std::to_string(cpu) + "/cpufreq/scaling_governor";
                if (auto name = linux_impl::ReadShortText(path); name && !name->empty())
                    names.push_back(std::move(*name));
            }
        } catch (...) {
            names.clear(); // out of memory: as if the system said nothing
        }
        return names;
    }

private:
    std::string cpuFolder_;
};

} // namespace

std::unique_ptr<FrequencyGovernors> CreateFrequencyGovernors(const std::string& systemRoot) {
    return std::make_unique<LinuxFrequencyGovernors>(systemRoot);
}

} // namespace zentaro::platform
