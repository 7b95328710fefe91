#include "elfsection.h"

#include <cstring>
#include <vector>

namespace zentaro::platform::linux_impl {

namespace {

constexpr std::uint32_t kMaxSections = 1u << 16; // far beyond any real executable
constexpr std::uint32_t kNoBits = 8;             // SHT_NOBITS: no bytes in the file
constexpr std::uint16_t kExtendedIndex = 0xFFFF; // SHN_XINDEX

class Fields {
public:
    Fields(const std::uint8_t* data, bool bigEndian) : data_(data), big_(bigEndian) {}
    std::uint64_t Get(std::size_t offset, std::size_t width) const {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const std::uint8_t b = data_[big_ ? offset + i : offset + width - 1 - i];
            v = (v << 8) | b;
        }
        return v;
    }

private:
    const std::uint8_t* data_;
    bool big_;
};

struct Header {
    std::uint32_t name = 0;
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t link = 0;
};

bool InFile(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

} // namespace

std::optional<ElfSection> FindElfSection(const ReadAt& read, std::uint64_t fileSize,
                                         std::string_view name, bool* notElf) {
    if (notElf)
        *notElf = true;
    std::uint8_t ident[64] = {};
    if (fileSize < 52 || !read(0, ident, 16) ||
        std::memcmp(ident,
                    "\x7f"
                    "ELF",
                    4) != 0)
        return std::nullopt;
    const bool is64 = ident[4] == 2;
    if ((ident[4] != 1 && ident[4] != 2) || (ident[5] != 1 && ident[5] != 2))
        return std::nullopt;
    const bool big = ident[5] == 2;
    const std::size_t headerSize = is64 ? 64 : 52;
    if (!InFile(0, headerSize, fileSize) || !read(0, ident, headerSize))
        return std::nullopt;
    if (notElf)
        *notElf = false;
    const Fields eh(ident, big);
    const std::uint64_t shoff = is64 ? eh.Get(0x28, 8) : eh.Get(0x20, 4);
    const std::size_t shentsize = eh.Get(is64 ? 0x3A : 0x2E, 2);
    std::uint64_t shnum = eh.Get(is64 ? 0x3C : 0x30, 2);
    std::uint32_t shstrndx = static_cast<std::uint32_t>(eh.Get(is64 ? 0x3E : 0x32, 2));
    const std::size_t minEntry = is64 ? 64 : 40;
    if (shoff == 0 || shentsize < minEntry || shentsize > 4096)
        return std::nullopt;

    std::vector<std::uint8_t> entry(shentsize);
    auto header = [&](std::uint64_t index) -> std::optional<Header> {
        if (index >= kMaxSections)
            return std::nullopt;
        const std::uint64_t at = shoff + index * shentsize; // no overflow: both bounded
        if (shoff > fileSize || !InFile(at, shentsize, fileSize) ||
            !read(at, entry.data(), shentsize))
            return std::nullopt;
        const Fields f(entry.data(), big);
        Header h;
        h.name = static_cast<std::uint32_t>(f.Get(0, 4));
        h.type = static_cast<std::uint32_t>(f.Get(4, 4));
        h.offset = is64 ? f.Get(0x18, 8) : f.Get(0x10, 4);
        h.size = is64 ? f.Get(0x20, 8) : f.Get(0x14, 4);
        h.link = static_cast<std::uint32_t>(is64 ? f.Get(0x28, 4) : f.Get(0x18, 4));
        return h;
    };

    // Many sections: the real counts live in section 0.
    if (shnum == 0 || shstrndx == kExtendedIndex) {
        const auto zero = header(0);
        if (!zero)
            return std::nullopt;
        if (shnum == 0)
            shnum = zero->size;
        if (shstrndx == kExtendedIndex)
            shstrndx = zero->link;
    }
    if (shnum == 0 || shnum > kMaxSections || shstrndx >= shnum)
        return std::nullopt;
    const auto strings = header(shstrndx);
    if (!strings || strings->type == kNoBits || !InFile(strings->offset, strings->size, fileSize))
        return std::nullopt;

    std::vector<char> candidate(name.size() + 1);
    for (std::uint64_t i = 0; i < shnum; ++i) {
        const auto h = header(i);
        if (!h)
            return std::nullopt;
        // The name with its zero must lie inside the string table.
        if (h->name >= strings->size || strings->size - h->name < candidate.size())
            continue;
        if (!read(strings->offset + h->name, candidate.data(), candidate.size()))
            return std::nullopt;
        if (std::string_view(candidate.data(), name.size()) != name ||
            candidate[name.size()] != '\0')
            continue;
        if (h->type == kNoBits || !InFile(h->offset, h->size, fileSize))
            return std::nullopt;
        return ElfSection{h->offset, h->size};
    }
    return std::nullopt;
}

} // namespace zentaro::platform::linux_impl
