#include "platform/hypervisor.h"
#include "procfs.h"
#include "sysroot.h"

namespace zentaro::platform {

namespace {

// x86 processors list "hypervisor" among the flags of /proc/cpuinfo when a
// hypervisor runs them.
class LinuxHypervisor final : public Hypervisor {
public:
    explicit LinuxHypervisor(const std::string& root)
        : cpuinfo_(linux_impl::UnderRoot(root, "/proc/cpuinfo")) {}

    bool RunsUnderHypervisor() const override {
        try {
            const auto block = linux_impl::ReadFirstProcessorBlock(cpuinfo_);
            const auto flags = block ? linux_impl::CpuinfoField(*block, "flags") : std::nullopt;
            if (!flags)
                return false;
            const std::string_view list = *flags;
            std::size_t pos = 0;
            while (pos < list.size()) {
                std::size_t end = list.find_first_of(" \t", pos);
                if (end == std::string_view::npos)
                    end = list.size();
                if (list.substr(pos, end - pos) == "hypervisor")
                    return true;
                pos = end + 1;
            }
        } catch (...) {
            // Out of memory: nothing said.
        }
        return false;
    }

private:
    std::string cpuinfo_;
};

} // namespace

std::unique_ptr<Hypervisor> CreateHypervisor(const std::string& systemRoot) {
    return std::make_unique<LinuxHypervisor>(systemRoot);
}

} // namespace zentaro::platform
