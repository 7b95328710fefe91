#pragma once

#include <cstdint>
#include <memory>

namespace zentaro::platform {

// A Windows language identifier (LANGID), e.g. 1031 for German (Germany). The code
// table beside the language files is written in these numbers on every system, so
// one table serves them all.
using LanguageId = std::uint16_t;

inline constexpr LanguageId kEnglishUnitedStates = 1033;

// The user's display language, the language the user wants the interface in.
class UserLanguage {
public:
    virtual ~UserLanguage() = default;

    // Always a usable identifier: English (United States) when nothing better is known.
    virtual LanguageId DisplayLanguageId() const = 0;
};

// The running user's display language, read from the system each time it is asked.
std::unique_ptr<UserLanguage> CreateSystemUserLanguage();

} // namespace zentaro::platform
