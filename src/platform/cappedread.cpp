#include "platform/cappedread.h"

#include <algorithm>
#include <cstdint>

namespace zentaro::platform {

// The same on every system: the reason is only for callers that show it.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes) {
    FileReadFailure ignored;
    return ReadRegularFile(path, maxBytes, ignored);
}

std::optional<std::string> ReadCapped(std::uint64_t sizeHint, std::size_t maxBytes,
                                      FileReadFailure& why, const ReadSome& readSome) {
    using Kind = FileReadFailure::Kind;
    why = {};
    if (sizeHint > maxBytes) {
        why.kind = Kind::TooLarge;
        return std::nullopt;
    }
    const std::size_t limit = maxBytes < SIZE_MAX ? maxBytes + 1 : maxBytes;
    constexpr std::size_t kChunk = std::size_t{64} * 1024;
    std::string content;
    content.reserve(static_cast<std::size_t>(sizeHint));
    while (content.size() < limit) {
        const std::size_t used = content.size();
        const std::size_t want = std::min(kChunk, limit - used);
        content.resize(used + want);
        int error = 0;
        const long n = readSome(content.data() + used, want, error);
        if (n < 0) {
            why = {Kind::System, error};
            return std::nullopt;
        }
        content.resize(used + static_cast<std::size_t>(n));
        if (n == 0)
            return content;
    }
    why.kind = Kind::TooLarge;
    return std::nullopt;
}

} // namespace zentaro::platform
