#include "terminaltext.h"

#include <cstdint>
#include <cstdio>

namespace zentaro::cli {

namespace {

bool Continuation(unsigned char c, unsigned char low = 0x80, unsigned char high = 0xBF) {
    return c >= low && c <= high;
}

// Length of the well-formed UTF-8 sequence at text[i] (no overlong forms, no
// surrogates, nothing past U+10FFFF), with its code point; 0 when there is none.
std::size_t Sequence(std::string_view text, std::size_t i, char32_t& codePoint) {
    const auto at = [&](std::size_t k) -> unsigned char {
        return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
    };
    const unsigned char b0 = at(0);
    if (b0 < 0x80) {
        codePoint = b0;
        return 1;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        if (!Continuation(at(1)))
            return 0;
        codePoint = (char32_t(b0 & 0x1F) << 6) | (at(1) & 0x3F);
        return 2;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        const unsigned char low = b0 == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = b0 == 0xED ? 0x9F : 0xBF;
        if (!Continuation(at(1), low, high) || !Continuation(at(2)))
            return 0;
        codePoint = (char32_t(b0 & 0x0F) << 12) | (char32_t(at(1) & 0x3F) << 6) | (at(2) & 0x3F);
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        const unsigned char low = b0 == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = b0 == 0xF4 ? 0x8F : 0xBF;
        if (!Continuation(at(1), low, high) || !Continuation(at(2)) || !Continuation(at(3)))
            return 0;
        codePoint = (char32_t(b0 & 0x07) << 18) | (char32_t(at(1) & 0x3F) << 12) |
                    (char32_t(at(2) & 0x3F) << 6) | (at(3) & 0x3F);
        return 4;
    }
    return 0;
}

// Characters that reorder or break the text around them where a terminal
// shows it: the directional marks, embeddings, overrides and isolates, and
// the line and paragraph separators.
bool Reorders(char32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, format, value);
    out += buffer;
}

} // namespace

std::string TerminalText(std::string_view text, std::size_t maxCharacters) {
    std::string out;
    out.reserve(text.size());
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        if (characters == maxCharacters)
            return out + "...";
        char32_t codePoint = 0;
        const std::size_t length = Sequence(text, i, codePoint);
        if (length == 0) {
            AppendEscape(out, "\\x%02x", static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        if (codePoint < 0x20 || codePoint == 0x7F)
            AppendEscape(out, "\\x%02x", static_cast<unsigned>(codePoint));
        else if ((codePoint >= 0x80 && codePoint <= 0x9F) || Reorders(codePoint))
            AppendEscape(out, "\\u%04x", static_cast<unsigned>(codePoint));
        else
            out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

} // namespace zentaro::cli
