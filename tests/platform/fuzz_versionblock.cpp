// libFuzzer target: arbitrary bytes as a version block, as an executable's
// block read through the identity reader, as an ELF file, and as text for the
// UTF-8 and UTF-16 conversions. Every value handed out must lie inside the
// input (the sanitizers catch any read beyond it), and the conversions must
// keep what can be kept.
#include "about/versioninfo.h"
#include "platform/linux/elfsection.h"
#include "platform/versionblock.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace vb = zentaro::platform::versionblock;

namespace {

// The fuzz input as the one file there is.
class InputResource : public zentaro::platform::VersionResource {
public:
    explicit InputResource(const std::vector<std::uint8_t>& block) : block_(block) {}
    std::uint32_t BlockSize(const std::string&, int& error) const override {
        error = block_.empty() ? ENODATA : 0;
        return static_cast<std::uint32_t>(block_.size());
    }
    bool ReadBlock(const std::string&, std::span<std::uint8_t> buffer, int& error) const override {
        error = 0;
        std::memcpy(buffer.data(), block_.data(), std::min(buffer.size(), block_.size()));
        return true;
    }
    std::optional<zentaro::platform::VersionValue>
    QueryValue(std::span<const std::uint8_t> block, const std::string& subBlock) const override {
        return vb::Query(block, subBlock);
    }
    std::string ErrorText(int) const override { return "error"; }

private:
    const std::vector<std::uint8_t>& block_;
};

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// Well-formed UTF-8: shortest forms only, no surrogates, nothing past U+10FFFF.
bool IsUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        char32_t cp = 0;
        char32_t least = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            extra = 1, cp = b & 0x1F, least = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, cp = b & 0x0F, least = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3, cp = b & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (s.size() - i <= extra)
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const unsigned char c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

bool IsHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The same text with every lone surrogate replaced by U+FFFD.
std::u16string Mended(std::u16string_view s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (IsHigh(s[i]) && i + 1 < s.size() && IsLow(s[i + 1])) {
            out.push_back(s[i]);
            out.push_back(s[++i]);
        } else {
            out.push_back(IsHigh(s[i]) || IsLow(s[i]) ? char16_t{0xFFFD} : s[i]);
        }
    }
    return out;
}

void CheckConversions(const std::vector<std::uint8_t>& input) {
    // As UTF-8: well-formed text comes back byte for byte; anything else shows
    // a replacement character, and the result converts back and forth unchanged.
    const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
    const std::u16string wide = vb::Utf8ToUtf16(bytes);
    Check(Mended(wide) == wide);
    const std::string narrow = vb::Utf16ToUtf8(wide);
    Check(IsUtf8(narrow));
    Check(vb::Utf8ToUtf16(narrow) == wide);
    if (IsUtf8(bytes))
        Check(narrow == bytes);
    else
        Check(wide.find(u'\uFFFD') != std::u16string::npos);

    // As UTF-16LE: lone surrogates become U+FFFD, all else survives the round trip.
    std::u16string units;
    for (std::size_t i = 0; i + 1 < input.size(); i += 2)
        units.push_back(static_cast<char16_t>(input[i] | input[i + 1] << 8));
    const std::string utf8 = vb::Utf16ToUtf8(units);
    Check(IsUtf8(utf8));
    Check(vb::Utf8ToUtf16(utf8) == Mended(units));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so that a read one past the end is reported.
    const std::vector<std::uint8_t> input(data, data + size);
    static const char* const paths[] = {
        "\\",
        "\\VarFileInfo\\Translation\\",
        "\\StringFileInfo\\040904b0\\CompanyName",
        "\\StringFileInfo\\040904B0\\ProductName",
        "\\stringfileinfo",
        "\\A\\B\\C\\D",
    };
    for (const char* path : paths) {
        if (const auto v = vb::Query(input, path)) {
            Check(v->bytes.empty() || (v->bytes.data() >= input.data() &&
                                       v->bytes.data() + v->bytes.size() <= input.data() + size));
            Check(IsUtf8(vb::TextOf(*v)));
        }
    }

    // The identity reader over the same bytes: it either fails as documented or
    // hands back well-formed text.
    const InputResource resource(input);
    try {
        const zentaro::TEXEVersionData d = zentaro::ReadExeVersionData(resource, "input");
        Check(IsUtf8(d.CompanyName) && IsUtf8(d.ProductName) && IsUtf8(d.OriginalFileName));
    } catch (const zentaro::OSError&) {
    }
    (void)zentaro::ReadExeFileVersion(resource, "input");

    CheckConversions(input);

    const auto section = zentaro::platform::linux_impl::FindElfSection(
        [&input](std::uint64_t offset, void* destination, std::size_t n) {
            if (offset > input.size() || n > input.size() - offset)
                return false;
            std::memcpy(destination, input.data() + offset, n);
            return true;
        },
        input.size(), ".zentaro_version");
    Check(!section || (section->offset <= size && section->size <= size - section->offset));
    return 0;
}
