#include "procfs.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace zentaro::platform::linux_impl {

namespace {

constexpr std::size_t kMaxBlock = 64 * 1024; // one processor's lines are a few KiB

class Fd {
public:
    explicit Fd(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::optional<std::string> ReadFirstProcessorBlock(const std::string& cpuinfoPath) {
    Fd fd(cpuinfoPath);
    if (fd.get() < 0)
        return std::nullopt;
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt; // a folder, or a read error
        }
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
    const long long mhz = (khz + 500) / 1000;
    return mhz <= max ? std::optional<long long>(mhz) : std::nullopt;
}

std::optional<long long> ReadWholeNumber(const std::string& path) {
    Fd fd(path);
    if (fd.get() < 0)
        return std::nullopt;
    char buffer[64];
    ssize_t n;
    do {
        n = ::read(fd.get(), buffer, sizeof buffer);
    } while (n < 0 && errno == EINTR);
    if (n <= 0 || static_cast<std::size_t>(n) == sizeof buffer)
        return std::nullopt;
    const std::string_view text = Trim(std::string_view(buffer, static_cast<std::size_t>(n)));
    long long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

} // namespace zentaro::platform::linux_impl
