#include "platform/settingslocation.h"

#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace zentaro::platform {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string CurrentFolder() {
    std::vector<char> buffer(4096);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()))
            return buffer.data();
        if (buffer.size() >= 1 << 20)
            return "/";
        buffer.resize(buffer.size() * 2);
    }
}

// The path made absolute and written plainly: no "." or ".." parts, no doubled
// or trailing slashes. Qt names its settings file this way, by the text alone:
// a ".." after a link is taken back over the link's name, not its target.
std::string Plain(const std::string& path) {
    const std::string absolute = path.starts_with('/') ? path : CurrentFolder() + "/" + path;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= absolute.size()) {
        std::size_t end = absolute.find('/', start);
        if (end == std::string::npos)
            end = absolute.size();
        const std::string part = absolute.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string plain;
    for (const std::string& part : parts)
        plain += "/" + part;
    return plain.empty() ? "/" : plain;
}

} // namespace

SettingsLocation UserSettingsLocation(const std::string& organisation,
                                      const std::string& application) {
    // A relative XDG_CONFIG_HOME is to be ignored; an empty HOME is the root.
    std::string config = Variable("XDG_CONFIG_HOME");
    if (!config.starts_with('/')) {
        const std::string home = Variable("HOME");
        config = (home.empty() ? std::string("/") : home) + "/.config";
    }
    return {false, Plain(config + "/" + organisation + "/" + application + ".conf")};
}

} // namespace zentaro::platform
