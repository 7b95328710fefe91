#pragma once

#include <memory>
#include <string>

namespace zentaro::platform {

// The user's locale (formats and regional settings), as the system names it.
class UserLocale {
public:
    virtual ~UserLocale() = default;
    // "en-US": language, an optional script and the region, joined with "-".
    // "xx" when the locale is not installed on the system or cannot be determined.
    virtual std::string LocaleName() const = 0;
};

std::unique_ptr<UserLocale> CreateUserLocale();

} // namespace zentaro::platform
