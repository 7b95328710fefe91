#include "platform/files.h"
#include "platform/processortopology.h"
#include "procfs.h"
#include "sysroot.h"

#include <set>
#include <string_view>
#include <utility>

namespace zentaro::platform {

namespace {

// /proc/cpuinfo grows by a few KiB per processor; this holds thousands.
constexpr std::size_t kMaxCpuinfoBytes = std::size_t{16} * 1024 * 1024;

class LinuxProcessorTopology final : public ProcessorTopology {
public:
    explicit LinuxProcessorTopology(const std::string& root)
        : cpuFolder_(linux_impl::UnderRoot(root, "/sys/devices/system/cpu")),
          cpuinfo_(linux_impl::UnderRoot(root, "/proc/cpuinfo")) {}

    std::optional<unsigned> PhysicalCores() const override {
        try {
            if (const auto cores = FromSysfs())
                return cores;
            return FromCpuinfo();
        } catch (...) {
            return std::nullopt; // out of memory: nothing said
        }
    }

private:
    // Every logical processor of a core lists the same processors as its
    // siblings (core_cpus_list; thread_siblings_list before Linux 5.7), so
    // the distinct lists are the cores. This holds where core ids repeat
    // across the dies of one package, as they do on some machines. An offline
    // processor has no topology and is left out.
    std::optional<unsigned> FromSysfs() const {
        std::set<std::string> cores;
        for (const unsigned n : linux_impl::ProcessorNumbers(cpuFolder_)) {
            const std::string folder = cpuFolder_ + "/cpu" + std::to_string(n);
            if (linux_impl::ReadWholeNumber(folder + "/online") == 0)
                continue;
            auto siblings = linux_impl::ReadShortText(folder + "/topology/core_cpus_list");
            if (!siblings || siblings->empty())
                siblings = linux_impl::ReadShortText(folder + "/topology/thread_siblings_list");
            if (!siblings || siblings->empty())
                return std::nullopt; // a count without this processor would be wrong
            cores.insert(*siblings);
        }
        if (cores.empty())
            return std::nullopt;
        return static_cast<unsigned>(cores.size());
    }

    // x86 names each processor's package ("physical id") and its core within
    // it ("core id"); core ids start again in every package.
    std::optional<unsigned> FromCpuinfo() const {
        const auto text = ReadRegularFile(cpuinfo_, kMaxCpuinfoBytes);
        if (!text)
            return std::nullopt;
        std::set<std::pair<std::string, std::string>> cores;
        std::string_view rest = *text;
        while (!rest.empty()) {
            const std::size_t end = rest.find("\n\n");
            const std::string_view block = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
            if (!linux_impl::CpuinfoField(block, "processor"))
                continue; // a block about the board, as ARM systems add
            const auto package = linux_impl::CpuinfoField(block, "physical id");
            const auto core = linux_impl::CpuinfoField(block, "core id");
            if (!package || !core)
                return std::nullopt;
            cores.emplace(linux_impl::Trim(*package), linux_impl::Trim(*core));
        }
        if (cores.empty())
            return std::nullopt;
        return static_cast<unsigned>(cores.size());
    }

    std::string cpuFolder_;
    std::string cpuinfo_;
};

} // namespace

std::unique_ptr<ProcessorTopology> CreateProcessorTopology(const std::string& systemRoot) {
    return std::make_unique<LinuxProcessorTopology>(systemRoot);
}

} // namespace zentaro::platform
