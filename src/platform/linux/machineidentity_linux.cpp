#include "onlinefacts_linux.h"
#include "platform/files.h"
#include "sysroot.h"

#include <cerrno>

namespace zentaro::platform {

namespace linux_impl {

LinuxMachineIdentity::LinuxMachineIdentity(std::string root) : root_(std::move(root)) {}

MachineId LinuxMachineIdentity::ReadMachineId() const {
    MachineId result;
    // systemd's file, then the copy older systems keep for D-Bus.
    for (const char* file : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        const std::string path = UnderRoot(root_, file);
        FileReadFailure why;
        const auto content = ReadRegularFile(path, 4096, why);
        if (!content) {
            // A missing file is no answer; one that is there but unreadable is.
            const bool missing = why.kind == FileReadFailure::Kind::System &&
                                 (why.error == ENOENT || why.error == ENOTDIR);
            if (!missing)
                result.status = MachineId::Status::Unreadable;
            continue;
        }
        std::string id = *content;
        while (!id.empty() && (id.back() == '\n' || id.back() == ' ' || id.back() == '\r'))
            id.pop_back();
        // An empty file or "uninitialized": early boot, no identifier yet.
        if (id.empty() || id == "uninitialized")
            continue;
        bool hex = id.size() == 32;
        for (char& c : id) {
            if (c >= 'A' && c <= 'F')
                c = static_cast<char>(c - 'A' + 'a');
            hex = hex && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
        }
        if (!hex) {
            result.status = MachineId::Status::Unreadable;
            continue;
        }
        return {MachineId::Status::Found, id};
    }
    return result;
}

} // namespace linux_impl

std::unique_ptr<MachineIdentity> CreateMachineIdentity() {
    return std::make_unique<linux_impl::LinuxMachineIdentity>();
}

} // namespace zentaro::platform
