#include "onlinefacts_linux.h"

#include <cstdlib>
#include <locale.h>

namespace zentaro::platform {

namespace linux_impl {

namespace {

bool AllOf(std::string_view text, bool (*test)(char)) {
    for (const char c : text)
        if (!test(c))
            return false;
    return true;
}

bool Lower(char c) {
    return c >= 'a' && c <= 'z';
}
bool Upper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool Digit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string LocaleNameFromPosix(std::string_view name) {
    // language[_territory][.codeset][@modifier]
    std::string_view modifier;
    if (const auto at = name.find('@'); at != std::string_view::npos) {
        modifier = name.substr(at + 1);
        name = name.substr(0, at);
    }
    if (const auto dot = name.find('.'); dot != std::string_view::npos)
        name = name.substr(0, dot);
    std::string_view language = name;
    std::string_view region;
    if (const auto underscore = name.find('_'); underscore != std::string_view::npos) {
        language = name.substr(0, underscore);
        region = name.substr(underscore + 1);
    }
    if (language.size() < 2 || language.size() > 3 || !AllOf(language, Lower))
        return {};
    const bool regionOk = region.empty() || (region.size() == 2 && AllOf(region, Upper)) ||
                          (region.size() == 3 && AllOf(region, Digit));
    if (!regionOk)
        return {};

    std::string result(language);
    // glibc writes the script as a modifier.
    if (modifier == "latin")
        result += "-Latn";
    else if (modifier == "cyrillic")
        result += "-Cyrl";
    if (!region.empty()) {
        result += '-';
        result += region;
    }
    return result;
}

LinuxUserLocale::LinuxUserLocale()
    : LinuxUserLocale(
          [](const char* name) {
              const char* value = std::getenv(name);
              return value ? std::string(value) : std::string();
          },
          [](const std::string& name) {
              // Installed means the C library can load it.
              const locale_t loaded = ::newlocale(LC_ALL_MASK, name.c_str(), locale_t(0));
              if (loaded == locale_t(0))
                  return false;
              ::freelocale(loaded);
              return true;
          }) {}

LinuxUserLocale::LinuxUserLocale(Variable variable, Installed installed)
    : variable_(std::move(variable)), installed_(std::move(installed)) {}

std::string LinuxUserLocale::LocaleName() const {
    static constexpr const char* kUnknown = "xx";
    std::string posix;
    for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
        posix = variable_(name);
        if (!posix.empty())
            break;
    }
    if (posix.empty() || !installed_(posix))
        return kUnknown;
    const std::string name = LocaleNameFromPosix(posix);
    return name.empty() ? kUnknown : name;
}

} // namespace linux_impl

std::unique_ptr<UserLocale> CreateUserLocale() {
    return std::make_unique<linux_impl::LinuxUserLocale>();
}

} // namespace zentaro::platform
