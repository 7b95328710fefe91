#pragma once

#include "platform/versionresource.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The binary layout of a VS_VERSIONINFO block: written by the build's generator
// and by tests, read by every platform's QueryValue. Nodes are
// {wLength, wValueLength, wType, zero-ended UTF-16 key, value, children}, each
// part starting on a 4-byte boundary counted from the start of the block.
namespace zentaro::platform::versionblock {

inline constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
inline constexpr std::size_t kFixedInfoSize = 52; // 13 32-bit fields

struct FixedInfo {
    std::uint32_t fileVersionMS = 0; // major << 16 | minor
    std::uint32_t fileVersionLS = 0; // release << 16 | build
    std::uint32_t productVersionMS = 0;
    std::uint32_t productVersionLS = 0;
    std::uint32_t fileFlags = 0;
    std::uint32_t fileOS = 0x00040004; // 32-bit Windows on NT, what Windows tools expect
    std::uint32_t fileType = 1;        // application
};

struct StringTable {
    std::string key; // language and code page as 8 hex digits, e.g. "040904b0"
    std::vector<std::pair<std::string, std::string>> strings; // name, UTF-8 value
};

struct Contents {
    FixedInfo fixed;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> translations; // language, code page
    std::vector<StringTable> tables;
};

// Nothing when a node would outgrow the 16-bit lengths of the layout.
std::optional<std::vector<std::uint8_t>> Build(const Contents& contents);

// The value of the node at subBlock (see VersionResource::QueryValue): nothing
// when a node on the way is missing or does not lie whole inside its parent.
// The stored value length is handed back but not relied on.
std::optional<VersionValue> Query(std::span<const std::uint8_t> block, std::string_view subBlock);

// A text value as UTF-8, up to its zero character or the end of its node.
std::string TextOf(const VersionValue& value);

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t offset);

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

} // namespace zentaro::platform::versionblock
