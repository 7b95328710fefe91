#include "platform/userlocale.h"
#include "text_windows.h"

#include <windows.h>

namespace zentaro::platform {

namespace {

class WindowsUserLocale final : public UserLocale {
public:
    std::string LocaleName() const override {
        static constexpr const char* kUnknown = "xx";
        wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
        const int length = ::GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
        // The length counts the closing zero; the invariant locale's name is empty.
        if (length <= 1 || !::IsValidLocaleName(name))
            return kUnknown;
        // An alternative sort order follows the name after "_" ("de-DE_phoneb");
        // it says nothing about the formats.
        std::wstring_view text(name, static_cast<std::size_t>(length - 1));
        text = text.substr(0, text.find(L'_'));
        return text.empty() ? kUnknown : windows_impl::Utf8(text);
    }
};

} // namespace

std::unique_ptr<UserLocale> CreateUserLocale() {
    return std::make_unique<WindowsUserLocale>();
}

} // namespace zentaro::platform
