#include "platform/instancemarker.h"
#include "text_windows.h"

#include <windows.h>

namespace zentaro::platform {

namespace {

// A named mutex, created not owned; whether it existed is not looked at, so a
// second copy starts all the same. Installers look for it by name.
class MutexMarker final : public InstanceMarker {
public:
    explicit MutexMarker(HANDLE mutex) : mutex_(mutex) {}
    ~MutexMarker() override { ::CloseHandle(mutex_); }
    MutexMarker(const MutexMarker&) = delete;
    MutexMarker& operator=(const MutexMarker&) = delete;

private:
    HANDLE mutex_;
};

class NoMarker final : public InstanceMarker {};

} // namespace

std::unique_ptr<InstanceMarker> CreateInstanceMarker(const std::string& name) {
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, windows_impl::Wide(name).c_str());
    if (mutex == nullptr)
        return std::make_unique<NoMarker>();
    return std::make_unique<MutexMarker>(mutex);
}

} // namespace zentaro::platform
