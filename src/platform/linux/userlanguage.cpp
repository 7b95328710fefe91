// The user's interface language comes from the environment, in the order gettext
// gives it: LANGUAGE (a colon-separated list), LC_ALL, LC_MESSAGES, LANG. ICU turns
// the locale name into the Windows identifier.
#include "platform/userlanguage.h"

#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <unicode/uloc.h>
#include <vector>

namespace zentaro::platform {
namespace {

// A language-only identifier (sublanguage 0) or one of the script-level ones
// (sublanguages 0x1E and 0x1F, e.g. "zh" or "sr" as a whole). Windows reports none of
// them as a display language, so a code table never holds them.
bool IsNeutral(LanguageId id) {
    const unsigned sublanguage = id >> 10;
    return sublanguage == 0 || sublanguage >= 0x1E;
}

LanguageId IcuLcid(const std::string& icuName) {
    // Only the low 16 bits are the LANGID; the rest is the sort order.
    return static_cast<LanguageId>(uloc_getLCID(icuName.c_str()) & 0xFFFFu);
}

std::string IcuPart(int32_t (*part)(const char*, char*, int32_t, UErrorCode*),
                    const std::string& name) {
    std::array<char, ULOC_FULLNAME_CAPACITY> buffer{};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = part(name.c_str(), buffer.data(), buffer.size(), &status);
    if (U_FAILURE(status) || length <= 0 || length >= static_cast<int32_t>(buffer.size()))
        return {};
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::string Join(const std::string& language, const std::string& script,
                 const std::string& region) {
    std::string name = language;
    if (!script.empty())
        name += "_" + script;
    if (!region.empty())
        name += "_" + region;
    return name;
}

// "de_DE.UTF-8", "pt-BR", "sr_RS@latin" or "de" to a LANGID; nothing when the name is
// not a locale that has one.
std::optional<LanguageId> FromLocaleName(std::string_view localeName) {
    std::string_view modifier;
    if (const auto at = localeName.find('@'); at != std::string_view::npos) {
        modifier = localeName.substr(at + 1);
        localeName = localeName.substr(0, at);
    }
    if (const auto dot = localeName.find('.'); dot != std::string_view::npos)
        localeName = localeName.substr(0, dot);
    if (localeName == "C" || localeName == "POSIX")
        return kEnglishUnitedStates;
    if (localeName.empty())
        return std::nullopt;

    std::string name;
    for (const char c : localeName) {
        const bool letterOrDigit =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (c == '-' || c == '_')
            name += '_'; // ICU reads "de-DE" as plain "de"
        else if (letterOrDigit)
            name += c;
        else
            return std::nullopt;
    }

    const std::string language = IcuPart(uloc_getLanguage, name);
    if (language.empty())
        return std::nullopt;
    std::string script = IcuPart(uloc_getScript, name);
    const std::string region = IcuPart(uloc_getCountry, name);
    // glibc writes the script as a modifier; the others ("euro", ...) carry no language.
    if (modifier == "latin")
        script = "Latn";
    else if (modifier == "cyrillic")
        script = "Cyrl";

    // A bare language ("de") is what Windows would report for its usual region:
    // complete it with ICU's likely subtags, then try without the script, since
    // ICU's table knows "de_DE" but not "de_Latn_DE".
    const std::string given = Join(language, script, region);
    const std::string likely = IcuPart(uloc_addLikelySubtags, given);
    std::vector<std::string> candidates{given};
    if (!likely.empty()) {
        candidates.push_back(likely);
        candidates.push_back(
            Join(IcuPart(uloc_getLanguage, likely), {}, IcuPart(uloc_getCountry, likely)));
    }

    std::optional<LanguageId> neutral;
    for (const std::string& candidate : candidates) {
        const LanguageId id = IcuLcid(candidate);
        if (id == 0)
            continue;
        if (!IsNeutral(id))
            return id;
        if (!neutral)
            neutral = id;
    }
    return neutral;
}

std::string_view Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string_view(value) : std::string_view();
}

class EnvironmentUserLanguage final : public UserLanguage {
public:
    LanguageId DisplayLanguageId() const override {
        std::vector<std::string_view> names;
        std::string_view list = Variable("LANGUAGE");
        while (!list.empty()) {
            const auto colon = list.find(':');
            names.push_back(list.substr(0, colon));
            list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
        }
        for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
            names.push_back(Variable(variable));

        // Empty entries count as unset; a name that is no known locale is passed over.
        for (const std::string_view name : names) {
            if (name.empty())
                continue;
            if (const auto id = FromLocaleName(name))
                return *id;
        }
        return kEnglishUnitedStates;
    }
};

} // namespace

std::unique_ptr<UserLanguage> CreateSystemUserLanguage() {
    return std::make_unique<EnvironmentUserLanguage>();
}

} // namespace zentaro::platform
