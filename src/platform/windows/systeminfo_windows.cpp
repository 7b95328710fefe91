#include "platform/systeminfo.h"

#include <windows.h>

namespace zentaro::platform {

namespace {

// The basic system information as the system reports it to this process: the
// architecture it runs on and the logical processors of its processor group.
class WindowsSystemInfo final : public SystemInfo {
public:
    BasicSystemInfo Basic() const override {
        SYSTEM_INFO info{};
        ::GetSystemInfo(&info);
        BasicSystemInfo basic;
        basic.architecture = info.wProcessorArchitecture;
        basic.logicalProcessors = info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
        return basic;
    }
};

} // namespace

std::unique_ptr<SystemInfo> CreateSystemInfo() {
    return std::make_unique<WindowsSystemInfo>();
}

} // namespace zentaro::platform
