#pragma once

#include "platform/machineidentity.h"
#include "platform/osdescription.h"
#include "platform/userlocale.h"

#include <functional>
#include <string>
#include <string_view>

namespace zentaro::platform::linux_impl {

// The value of one variable of an os-release file ("PRETTY_NAME"), unquoted and
// unescaped as a shell would; empty when the file does not set it.
std::string OsReleaseValue(std::string_view osRelease, std::string_view key);

// The distribution's name from os-release under root, and the kernel's release
// and machine type as uname() gives them.
class LinuxOsDescription final : public OsDescription {
public:
    LinuxOsDescription(); // the live system
    LinuxOsDescription(std::string root, std::string kernelRelease, std::string machine);
    OsFacts Describe() const override;

private:
    std::string root_;
    std::string kernelRelease_;
    std::string machine_;
};

// "de_DE.UTF-8" to "de-DE", "sr_RS@latin" to "sr-Latn-RS"; empty when the name
// is not a language with an optional region ("C", "POSIX", "C.UTF-8", junk).
std::string LocaleNameFromPosix(std::string_view posixName);

// The locale of the user's formats: the first of LC_ALL, LC_TIME and LANG that is
// set, when the C library can load it.
class LinuxUserLocale final : public UserLocale {
public:
    using Variable = std::function<std::string(const char*)>;
    using Installed = std::function<bool(const std::string&)>;
    LinuxUserLocale(); // this process's environment and C library
    LinuxUserLocale(Variable variable, Installed installed);
    std::string LocaleName() const override;

private:
    Variable variable_;
    Installed installed_;
};

// The systemd machine id, /etc/machine-id (or the older D-Bus copy) under root.
class LinuxMachineIdentity final : public MachineIdentity {
public:
    explicit LinuxMachineIdentity(std::string root = "/");
    MachineId ReadMachineId() const override;

private:
    std::string root_;
};

} // namespace zentaro::platform::linux_impl
