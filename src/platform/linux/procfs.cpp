#include "procfs.h"

#include "platform/files.h"
#include "platform/textfold.h"
#include "regularfile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace zentaro::platform::linux_impl {

namespace {

constexpr std::size_t kMaxBlock = std::size_t{64} * 1024;   // one processor's lines are a few KiB
constexpr std::size_t kMaxFactFile = std::size_t{4} * 1024; // a sysfs value is one short line

} // namespace

std::string_view Trim(std::string_view s) {
    return TrimAscii(s, " \t\n\r");
}

std::optional<std::string> ReadFirstProcessorBlock(const std::string& cpuinfoPath) {
    const OpenedFile file = OpenRegularFile(cpuinfoPath);
    if (!file.fd)
        return std::nullopt; // missing, or a folder, FIFO or device in its place
    std::string content;
    char buffer[4096];
    for (;;) {
        const long n = ReadSome(file.fd.get(), buffer, sizeof buffer);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        const std::size_t searchFrom = content.size() > 0 ? content.size() - 1 : 0;
        content.append(buffer, static_cast<std::size_t>(n));
        const std::size_t end = content.find("\n\n", searchFrom);
        if (end != std::string::npos) {
            content.resize(end + 1);
            break;
        }
        if (content.size() > kMaxBlock)
            break;
    }
    return content;
}

std::optional<std::string> CpuinfoField(std::string_view block, std::string_view field) {
    std::size_t pos = 0;
    while (pos < block.size()) {
        std::size_t eol = block.find('\n', pos);
        if (eol == std::string_view::npos)
            eol = block.size();
        const std::string_view line = block.substr(pos, eol - pos);
        pos = eol + 1;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        if (Trim(line.substr(0, colon)) != field)
            continue;
        std::string_view value = line.substr(colon + 1);
        if (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);
        return std::string(value);
    }
    return std::nullopt;
}

std::optional<long long> RoundedDecimal(std::string_view text, long long max) {
    text = Trim(text);
    double value = 0;
    const auto [ptr, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (ec != std::errc() || ptr != text.data() + text.size() || !std::isfinite(value) || value < 0)
        return std::nullopt;
    const double rounded = std::round(value);
    if (rounded > static_cast<double>(max))
        return std::nullopt;
    return static_cast<long long>(rounded);
}

std::optional<long long> CpuinfoMhz(std::string_view block, long long max) {
    const auto field = CpuinfoField(block, "cpu MHz");
    return field ? RoundedDecimal(*field, max) : std::nullopt;
}

std::optional<long long> KhzToMhz(long long khz, long long max) {
    if (khz < 0)
        return std::nullopt;
    // Halves round up. Adding 500 before dividing would overflow near the top.
    const long long mhz = khz / 1000 + (khz % 1000 >= 500 ? 1 : 0);
    return mhz <= max ? std::optional<long long>(mhz) : std::nullopt;
}

std::optional<long long> ReadWholeNumber(const std::string& path) {
    const auto content = ReadRegularFile(path, kMaxFactFile);
    if (!content)
        return std::nullopt;
    const std::string_view text = Trim(*content);
    long long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

std::optional<std::string> ReadShortText(const std::string& path) {
    const auto content = ReadRegularFile(path, kMaxFactFile);
    if (!content)
        return std::nullopt;
    return std::string(Trim(*content));
}

std::optional<std::string> ReadFirstLine(const std::string& path, std::size_t maxBytes) {
    const OpenedFile file = OpenRegularFile(path);
    if (!file.fd)
        return std::nullopt;
    std::string content;
    char buffer[4096];
    while (content.size() <= maxBytes) {
        const long n = ReadSome(file.fd.get(), buffer, sizeof buffer);
        if (n <= 0)
            return std::nullopt; // an error, or the end before any line end
        const std::size_t searchFrom = content.size();
        content.append(buffer, static_cast<std::size_t>(n));
        const std::size_t end = content.find('\n', searchFrom);
        if (end != std::string::npos) {
            if (end > maxBytes)
                return std::nullopt;
            content.resize(end);
            return content;
        }
    }
    return std::nullopt;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<unsigned> ProcessorNumbers(const std::string& cpuFolder) {
    std::vector<unsigned> numbers;
    for (const std::string& name : FolderEntries(cpuFolder)) {
        if (name.size() <= 3 || name.compare(0, 3, "cpu") != 0)
            continue;
        unsigned n = 0;
        const char* end = name.data() + name.size();
        const auto [ptr, ec] = std::from_chars(name.data() + 3, end, n);
        if (ec == std::errc() && ptr == end)
            numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

} // namespace zentaro::platform::linux_impl
