#include "platform/kernelrelease.h"
#include "procfs.h"
#include "sysroot.h"

#include <sys/utsname.h>

namespace zentaro::platform {

namespace {

// The kernel names itself in /proc/sys/kernel/osrelease, the text uname()
// gives. uname() answers only for the live system when /proc is not mounted:
// a fixture root stands for another machine, whose kernel it cannot tell.
class LinuxKernelRelease final : public KernelRelease {
public:
    explicit LinuxKernelRelease(const std::string& root)
        : root_(root), osrelease_(linux_impl::UnderRoot(root, "/proc/sys/kernel/osrelease")) {}

    std::optional<std::string> Release() const override {
        try {
            if (auto text = linux_impl::ReadShortText(osrelease_); text && !text->empty())
                return text;
            struct utsname names {};
            if (root_ == "/" && ::uname(&names) == 0 && names.release[0] != '\0')
                return std::string(names.release);
        } catch (...) {
            // Out of memory: nothing said.
        }
        return std::nullopt;
    }

private:
    std::string root_;
    std::string osrelease_;
};

} // namespace

std::unique_ptr<KernelRelease> CreateKernelRelease(const std::string& systemRoot) {
    return std::make_unique<LinuxKernelRelease>(systemRoot);
}

} // namespace zentaro::platform
