#include "platform/versionblock.h"

namespace zentaro::platform::versionblock {

namespace {

constexpr std::size_t kHeaderSize = 6; // wLength, wValueLength, wType

std::size_t Align4(std::size_t offset) {
    return (offset + 3) & ~std::size_t{3};
}

std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

// ---- writing

class Writer {
public:
    std::vector<std::uint8_t> bytes;
    bool overflow = false;

    void U16(std::uint16_t v) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void Text(const std::u16string& text) {
        for (char16_t c : text)
            U16(c);
        U16(0);
    }
    void Pad() { bytes.resize(Align4(bytes.size()), 0); }

    // Starts a node; returns where its length goes once its children are in.
    std::size_t Open(std::uint16_t valueLength, std::uint16_t type, std::string_view key) {
        Pad();
        const std::size_t start = bytes.size();
        U16(0);
        U16(valueLength);
        U16(type);
        Text(Utf8ToUtf16(key));
        Pad();
        return start;
    }
    void Close(std::size_t start) {
        const std::size_t length = bytes.size() - start;
        if (length > 0xFFFF) {
            overflow = true;
            return;
        }
        bytes[start] = static_cast<std::uint8_t>(length);
        bytes[start + 1] = static_cast<std::uint8_t>(length >> 8);
    }
};

// ---- reading

struct Node {
    std::size_t end = 0; // one past the node's last byte
    std::size_t keyBegin = 0;
    std::size_t keyEnd = 0; // at the key's zero character
    std::size_t valueBegin = 0;
    std::uint16_t declaredLength = 0; // wValueLength as stored
    bool text = false;
    std::size_t childrenBegin = 0;
};

// The node at offset, if it lies whole within [offset, limit).
std::optional<Node> ParseNode(std::span<const std::uint8_t> block, std::size_t offset,
                              std::size_t limit) {
    if (limit > block.size() || offset > limit || limit - offset < kHeaderSize)
        return std::nullopt;
    const std::size_t length = ReadU16(block, offset);
    if (length < kHeaderSize || length > limit - offset)
        return std::nullopt;
    Node n;
    n.end = offset + length;
    n.declaredLength = ReadU16(block, offset + 2);
    n.text = ReadU16(block, offset + 4) == 1;
    n.keyBegin = offset + kHeaderSize;
    std::size_t p = n.keyBegin;
    while (p + 2 <= n.end && ReadU16(block, p) != 0)
        p += 2;
    if (p + 2 > n.end)
        return std::nullopt; // key without its zero
    n.keyEnd = p;
    n.valueBegin = std::min(Align4(p + 2), n.end);
    // Children follow the value as its stored length places it. That length is
    // only trusted this far: it never moves the children out of the node.
    const std::size_t valueSize = n.text ? std::size_t{n.declaredLength} * 2 : n.declaredLength;
    n.childrenBegin =
        std::min(Align4(n.valueBegin + std::min(valueSize, n.end - n.valueBegin)), n.end);
    return n;
}

char16_t Fold(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

bool KeyMatches(std::span<const std::uint8_t> block, const Node& n, std::u16string_view name) {
    if ((n.keyEnd - n.keyBegin) / 2 != name.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (Fold(ReadU16(block, n.keyBegin + 2 * i)) != Fold(name[i]))
            return false;
    }
    return true;
}

std::optional<Node> FindChild(std::span<const std::uint8_t> block, const Node& parent,
                              std::u16string_view name) {
    std::size_t offset = parent.childrenBegin;
    while (offset < parent.end) {
        const auto child = ParseNode(block, offset, parent.end);
        if (!child)
            return std::nullopt; // the rest does not hold together
        if (KeyMatches(block, *child, name))
            return child;
        offset = Align4(child->end); // lengths are at least 6: always moves on
    }
    return std::nullopt;
}

} // namespace

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(ReadU16(bytes, offset)) |
           static_cast<std::uint32_t>(ReadU16(bytes, offset + 2)) << 16;
}

std::optional<std::vector<std::uint8_t>> Build(const Contents& c) {
    Writer w;
    const std::size_t root = w.Open(kFixedInfoSize, 0, "VS_VERSION_INFO");
    const FixedInfo& f = c.fixed;
    for (std::uint32_t v :
         {kFixedInfoSignature, std::uint32_t{0x00010000}, f.fileVersionMS, f.fileVersionLS,
          f.productVersionMS, f.productVersionLS, std::uint32_t{0x3F}, f.fileFlags, f.fileOS,
          f.fileType, std::uint32_t{0}, std::uint32_t{0}, std::uint32_t{0}})
        w.U32(v);

    if (!c.tables.empty()) {
        const std::size_t sfi = w.Open(0, 1, "StringFileInfo");
        for (const StringTable& table : c.tables) {
            const std::size_t t = w.Open(0, 1, table.key);
            for (const auto& [name, value] : table.strings) {
                const std::u16string text = Utf8ToUtf16(value);
                if (text.size() + 1 > 0xFFFF)
                    return std::nullopt;
                const std::size_t s = w.Open(static_cast<std::uint16_t>(text.size() + 1), 1, name);
                w.Text(text);
                w.Close(s);
            }
            w.Close(t);
        }
        w.Close(sfi);
    }
    if (!c.translations.empty()) {
        const std::size_t vfi = w.Open(0, 1, "VarFileInfo");
        const std::size_t size = c.translations.size() * 4;
        if (size > 0xFFFF)
            return std::nullopt;
        const std::size_t var = w.Open(static_cast<std::uint16_t>(size), 0, "Translation");
        for (const auto& [language, codePage] : c.translations) {
            w.U16(language);
            w.U16(codePage);
        }
        w.Close(var);
        w.Close(vfi);
    }
    w.Close(root);
    if (w.overflow)
        return std::nullopt;
    return std::move(w.bytes);
}

std::optional<VersionValue> Query(std::span<const std::uint8_t> block, std::string_view subBlock) {
    auto node = ParseNode(block, 0, block.size());
    std::size_t pos = 0;
    while (node && pos <= subBlock.size()) {
        std::size_t next = subBlock.find('\\', pos);
        if (next == std::string_view::npos)
            next = subBlock.size();
        const std::string_view part = subBlock.substr(pos, next - pos);
        pos = next + 1;
        if (!part.empty()) // "\" and a trailing backslash name no further node
            node = FindChild(block, *node, Utf8ToUtf16(part));
    }
    if (!node)
        return std::nullopt;
    VersionValue v;
    v.bytes = block.subspan(node->valueBegin, node->end - node->valueBegin);
    v.declaredLength = node->declaredLength;
    v.text = node->text;
    return v;
}

std::string TextOf(const VersionValue& value) {
    std::u16string text;
    for (std::size_t p = 0; p + 2 <= value.bytes.size(); p += 2) {
        const char16_t c = ReadU16(value.bytes, p);
        if (c == 0)
            break;
        text.push_back(c);
    }
    return Utf16ToUtf8(text);
}

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        char32_t least = 0; // the smallest code point that needs this many bytes
        std::size_t extra = 0;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F;
            least = 0x80;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F;
            least = 0x800;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07;
            least = 0x10000;
            extra = 3;
        } else {
            extra = 0; // a stray continuation byte
        }
        ++i;
        bool ok = b < 0x80 || extra > 0;
        for (std::size_t k = 0; k < extra; ++k, ++i) {
            if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        }
        // A longer form than needed is no character either: it would give a
        // character such as the backslash a second spelling that checks miss.
        if (!ok || cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = 0xFFFD;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD; // a lone surrogate
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

} // namespace zentaro::platform::versionblock
