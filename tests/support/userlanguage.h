#pragma once

#include "platform/userlanguage.h"

namespace zentaro::testing {

// A user whose display language is fixed, whatever this machine's environment says.
class FixedUserLanguage final : public platform::UserLanguage {
public:
    explicit FixedUserLanguage(platform::LanguageId id) : id_(id) {}
    platform::LanguageId DisplayLanguageId() const override { return id_; }

private:
    platform::LanguageId id_;
};

} // namespace zentaro::testing
