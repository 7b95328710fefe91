#include "onlinefacts_linux.h"
#include "platform/files.h"
#include "procfs.h"
#include "sysroot.h"
#include "systeminfo_linux.h"

#include <sys/utsname.h>

namespace zentaro::platform {

namespace linux_impl {

namespace {

constexpr std::size_t kMaxOsReleaseBytes = std::size_t{64} * 1024;

// Digits at the front of text, and what follows them.
unsigned LeadingNumber(std::string_view& text) {
    unsigned value = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value < 100000000u)
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
    text.remove_prefix(i);
    return value;
}

// A value as a shell reads it: quoted with "..." (where \ escapes $ ` " and \),
// with '...' taken literally, or bare with \ escaping the next character.
std::string Unquote(std::string_view value) {
    std::string out;
    char quote = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                out += c;
        } else if (c == '\\' && i + 1 < value.size()) {
            const char next = value[i + 1];
            if (quote == '"' && next != '$' && next != '`' && next != '"' && next != '\\') {
                out += c;
                continue;
            }
            out += next;
            ++i;
        } else if (c == '"') {
            quote = quote ? 0 : '"';
        } else if (c == '\'' && !quote) {
            quote = '\'';
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::string OsReleaseValue(std::string_view osRelease, std::string_view key) {
    std::string found;
    while (!osRelease.empty()) {
        const std::size_t end = osRelease.find('\n');
        std::string_view line = Trim(osRelease.substr(0, end));
        osRelease = end == std::string_view::npos ? std::string_view() : osRelease.substr(end + 1);
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || line.substr(0, equals) != key)
            continue;
        found = Unquote(line.substr(equals + 1)); // the last assignment wins, as in a shell
    }
    return found;
}

LinuxOsDescription::LinuxOsDescription() : root_("/") {
    struct utsname names {};
    if (::uname(&names) == 0) {
        kernelRelease_ = names.release;
        machine_ = names.machine;
    }
}

LinuxOsDescription::LinuxOsDescription(std::string root, std::string kernelRelease,
                                       std::string machine)
    : root_(std::move(root)), kernelRelease_(std::move(kernelRelease)),
      machine_(std::move(machine)) {}

OsFacts LinuxOsDescription::Describe() const {
    OsFacts facts;
    // The standard place, then the one it points to; "Linux" when neither names
    // the system, as os-release itself prescribes.
    for (const char* file : {"/etc/os-release", "/usr/lib/os-release"}) {
        const auto content = ReadRegularFile(UnderRoot(root_, file), kMaxOsReleaseBytes);
        if (!content)
            continue;
        facts.productName = OsReleaseValue(*content, "PRETTY_NAME");
        if (facts.productName.empty())
            facts.productName = OsReleaseValue(*content, "NAME");
        break;
    }
    if (facts.productName.empty())
        facts.productName = "Linux";

    // "6.1.0-18-amd64": major 6, minor 1, patch level 0 as the build.
    std::string_view release = kernelRelease_;
    facts.major = LeadingNumber(release);
    if (!release.empty() && release.front() == '.') {
        release.remove_prefix(1);
        facts.minor = LeadingNumber(release);
        if (!release.empty() && release.front() == '.') {
            release.remove_prefix(1);
            facts.build = LeadingNumber(release);
        }
    }
    facts.x64 = ArchitectureForMachine(machine_) == kArchitectureAmd64;
    return facts;
}

} // namespace linux_impl

std::unique_ptr<OsDescription> CreateOsDescription() {
    return std::make_unique<linux_impl::LinuxOsDescription>();
}

} // namespace zentaro::platform
