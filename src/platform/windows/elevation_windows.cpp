#include "platform/elevation.h"
#include "text_windows.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

namespace zentaro::platform {

namespace {

using windows_impl::Wide;

// The system asks its question while ShellExecuteEx waits, so the answer is in
// once it returns.
class SettledStart final : public ElevatedStart {
public:
    SettledStart(ElevatedStartState state, int detail) : state_(state), detail_(detail) {}
    ElevatedStartState Poll() override { return state_; }
    int detail() const override { return detail_; }
    void Abandon() override {}

private:
    ElevatedStartState state_;
    int detail_;
};

class WindowsElevation final : public Elevation {
public:
    bool IsElevated() const override {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
            return false;
        TOKEN_ELEVATION elevation{};
        DWORD size = 0;
        const bool known =
            ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
        ::CloseHandle(token);
        return known && elevation.TokenIsElevated != 0;
    }

    // The shell's "runas" verb: the system asks the user for administrator
    // rights, then starts the program with them.
    std::unique_ptr<ElevatedStart> StartElevated(const std::string& executable) override {
        const std::wstring file = Wide(executable);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        info.lpVerb = L"runas";
        info.lpFile = file.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (::ShellExecuteExW(&info))
            return std::make_unique<SettledStart>(ElevatedStartState::Started, 0);
        const DWORD error = ::GetLastError();
        if (error == ERROR_CANCELLED)
            return std::make_unique<SettledStart>(ElevatedStartState::Dismissed, 0);
        return std::make_unique<SettledStart>(ElevatedStartState::Failed, static_cast<int>(error));
    }
};

} // namespace

std::unique_ptr<Elevation> CreateElevation(const std::string&) {
    return std::make_unique<WindowsElevation>();
}

} // namespace zentaro::platform
