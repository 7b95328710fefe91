#pragma once

#include <string_view>

namespace zentaro::platform {

// Key and block names the system looks up compare without regard to the case
// of ASCII letters, and only of those.
inline char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool StartsWithFoldingAscii(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (FoldAscii(text[i]) != FoldAscii(prefix[i]))
            return false;
    return true;
}

inline bool EqualsFoldingAscii(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithFoldingAscii(a, b);
}

// text without the given characters at either end.
inline std::string_view TrimAscii(std::string_view text, std::string_view blanks) {
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

} // namespace zentaro::platform
