#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace zentaro::platform::linux_impl {

struct ElfSection {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// Reads size bytes at offset into destination; false when they are not all there.
using ReadAt = std::function<bool(std::uint64_t offset, void* destination, std::size_t size)>;

// Finds a section with contents by name in an ELF file of either class and byte
// order. Every offset and count comes from the file and is checked against
// fileSize before use; anything that does not add up reads as "no section".
// notElf is set when the file is not ELF at all.
std::optional<ElfSection> FindElfSection(const ReadAt& read, std::uint64_t fileSize,
                                         std::string_view name, bool* notElf = nullptr);

} // namespace zentaro::platform::linux_impl
