#include "platform/osdescription.h"
#include "registry_windows.h"
#include "systemversion_windows.h"

#include <windows.h>

namespace zentaro::platform {

namespace {

class WindowsOsDescription final : public OsDescription {
public:
    OsFacts Describe() const override {
        OsFacts facts;
        // The 64-bit view: the name a 32-bit copy of the program would see can
        // differ from the machine's own. Windows 11 still names itself Windows 10
        // here; the build number tells them apart.
        const windows_impl::StringValue name = windows_impl::ReadStringValue(
            RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
            "ProductName");
        if (name.status == windows_impl::StringValue::Status::Found)
            facts.productName = name.text;
        if (const auto version = windows_impl::RunningSystemVersion()) {
            facts.major = version->major;
            facts.minor = version->minor;
            facts.build = version->build;
            facts.servicePackMajor = version->servicePackMajor;
        }
        // The system's processor type, not this program's.
        SYSTEM_INFO info{};
        ::GetNativeSystemInfo(&info);
        facts.x64 = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
        return facts;
    }
};

} // namespace

std::unique_ptr<OsDescription> CreateOsDescription() {
    return std::make_unique<WindowsOsDescription>();
}

} // namespace zentaro::platform
