#pragma once

// The English texts the windows pass through TranslateText, one constant each, made
// from texts.def. The same list is what the shipped language files are checked
// against, so a text added here cannot go untranslated unnoticed.

#include <array>
#include <cstddef>
#include <string_view>

namespace zentaro::i18n::text {

#define ZENTARO_TEXT(id, english) inline constexpr char id[] = english;
#include "i18n/texts.def"
#undef ZENTARO_TEXT

struct Entry {
    std::string_view id;
    std::string_view english;
};

inline constexpr std::size_t kCount = 0
#define ZENTARO_TEXT(id, english) +1
#include "i18n/texts.def"
#undef ZENTARO_TEXT
    ;

inline constexpr std::array<Entry, kCount> kAll{{
#define ZENTARO_TEXT(id, english) {#id, id},
#include "i18n/texts.def"
#undef ZENTARO_TEXT
}};

// A language file entry is "{key}translation" on one line: a key with "}" or a line
// end could never be found, and an empty key would match every entry.
constexpr bool UsableAsKey(std::string_view english) {
    return !english.empty() && english.find_first_of("}\r\n") == std::string_view::npos;
}

constexpr bool AllUsableAsKeys() {
    for (const Entry& entry : kAll)
        if (!UsableAsKey(entry.english))
            return false;
    return true;
}
static_assert(AllUsableAsKeys(), "a text in texts.def cannot be a language file key");

} // namespace zentaro::i18n::text
