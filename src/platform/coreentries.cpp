#include "platform/coreentries.h"

#include <cstdint>

namespace zentaro::platform {

namespace {

constexpr std::uint32_t kProcessorCore = 0;
constexpr std::size_t kHeaderSize = 8; // relationship and size

std::uint32_t ReadLittleEndian32(const unsigned char* at) {
    return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 |
           std::uint32_t(at[3]) << 24;
}

} // namespace

std::optional<unsigned> CountCoreEntries(const unsigned char* entries, std::size_t size) {
    unsigned cores = 0;
    std::size_t offset = 0;
    while (entries && size - offset >= kHeaderSize) {
        const std::uint32_t relationship = ReadLittleEndian32(entries + offset);
        const std::uint32_t entrySize = ReadLittleEndian32(entries + offset + 4);
        if (entrySize < kHeaderSize || entrySize > size - offset)
            break;
        if (relationship == kProcessorCore)
            ++cores;
        offset += entrySize;
    }
    return cores > 0 ? std::optional<unsigned>(cores) : std::nullopt;
}

} // namespace zentaro::platform
