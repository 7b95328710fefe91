#include "platform/processortimes.h"
#include "procfs.h"
#include "sysroot.h"

#include <charconv>
#include <string_view>

namespace zentaro::platform {

namespace {

// The first line of /proc is sums over all processors, in clock ticks:
//   cpu  user nice system idle iowait irq softirq steal guest guest_nice
// Older kernels stop after idle or iowait. Guest time is already counted in
// user and nice, so it is left out. Waiting for the disk counts as idle;
// time the host of a virtual machine took away counts as busy, since the
// benchmark cannot have it either.
std::optional<ProcessorTimeTotals> ParseTotals(std::string_view line) {
    if (line.substr(0, 4) != "cpu " && line.substr(0, 4) != "cpu\t")
        return std::nullopt;
    line.remove_prefix(3);
    std::uint64_t fields[8] = {};
    int count = 0;
    while (count < 8) {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty())
            break;
        const auto [ptr, ec] =
            std::from_chars(line.data(), line.data() + line.size(), fields[count]);
        if (ec != std::errc() || (ptr != line.data() + line.size() && *ptr != ' ' && *ptr != '\t'))
            return std::nullopt;
        line.remove_prefix(static_cast<std::size_t>(ptr - line.data()));
        ++count;
    }
    if (count < 4)
        return std::nullopt;
    ProcessorTimeTotals totals;
    for (int i = 0; i < count; ++i) {
        if (totals.total + fields[i] < totals.total)
            return std::nullopt; // would wrap: not a real reading
        totals.total += fields[i];
    }
    const std::uint64_t idle = fields[3] + fields[4]; // cannot wrap: both are in the total
    totals.busy = totals.total - idle;
    return totals;
}

class LinuxProcessorTimes final : public ProcessorTimes {
public:
    explicit LinuxProcessorTimes(const std::string& root)
        : path_(linux_impl::UnderRoot(root, "/proc/stat")) {}

    std::optional<ProcessorTimeTotals> Totals() const override {
        try {
            // One line of at most ten 20-digit numbers.
            if (const auto line = linux_impl::ReadFirstLine(path_, 256))
                return ParseTotals(*line);
        } catch (...) {
            // Out of memory: no reading.
        }
        return std::nullopt;
    }

private:
    std::string path_;
};

} // namespace

std::unique_ptr<ProcessorTimes> CreateProcessorTimes(const std::string& systemRoot) {
    return std::make_unique<LinuxProcessorTimes>(systemRoot);
}

} // namespace zentaro::platform
