#pragma once

// A smallest possible 64-bit little-endian ELF file holding one named section:
// how tests put a version block of their own making into a real file.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace zentaro::testing {

inline std::vector<std::uint8_t> MakeElfWithSection(const std::string& sectionName,
                                                    const std::vector<std::uint8_t>& contents) {
    // Layout: header (64), contents, string table, three section headers.
    const std::string strings = std::string("\0.shstrtab\0", 11) + sectionName + '\0';
    const std::uint64_t contentsAt = 64;
    const std::uint64_t stringsAt = contentsAt + contents.size();
    const std::uint64_t headersAt = (stringsAt + strings.size() + 7) & ~std::uint64_t{7};
    std::vector<std::uint8_t> f(headersAt + 3 * 64, 0);
    auto put = [&f](std::size_t at, std::uint64_t v, int width) {
        for (int i = 0; i < width; ++i)
            f[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    std::memcpy(f.data(),
                "\x7f"
                "ELF\x02\x01\x01",
                7);
    put(0x10, 1, 2);  // relocatable
    put(0x12, 62, 2); // x86-64
    put(0x14, 1, 4);
    put(0x28, headersAt, 8);
    put(0x34, 64, 2); // header size
    put(0x3A, 64, 2); // section header size
    put(0x3C, 3, 2);  // sections
    put(0x3E, 1, 2);  // string table index
    std::memcpy(f.data() + contentsAt, contents.data(), contents.size());
    std::memcpy(f.data() + stringsAt, strings.data(), strings.size());
    auto section = [&](int index, std::uint32_t name, std::uint32_t type, std::uint64_t offset,
                       std::uint64_t size) {
        const std::size_t at = headersAt + 64 * index;
        put(at, name, 4);
        put(at + 4, type, 4);
        put(at + 0x18, offset, 8);
        put(at + 0x20, size, 8);
    };
    section(1, 1, 3, stringsAt, strings.size()); // .shstrtab
    section(2, 11, 1, contentsAt, contents.size());
    return f;
}

inline bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace zentaro::testing
