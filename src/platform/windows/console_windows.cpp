#include "platform/console.h"

#include <atomic>
#include <windows.h>

namespace zentaro::platform {

namespace {

// The control handler runs on a thread the system starts for it and can reach
// nothing but globals.
std::atomic<int> g_status{0};
std::atomic<bool> g_instance{false};

// The shell's numbering, as on Linux: 128 + SIGINT for Ctrl-C and Ctrl-Break,
// 128 + SIGTERM for the console closing or the session ending.
constexpr int kInterrupted = 130;
constexpr int kTerminated = 143;

BOOL WINAPI OnControl(DWORD event) {
    const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    int none = 0;
    if (!g_status.compare_exchange_strong(none, interrupt ? kInterrupted : kTerminated))
        return FALSE; // the second one: the system's default handler ends the process
    if (!interrupt) {
        // The system ends the process as soon as this returns (or after a few
        // seconds). Give the program that time to report and leave by itself.
        ::Sleep(4000);
    }
    return TRUE;
}

bool IsConsole(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

class WindowsConsole final : public Console {
public:
    WindowsConsole() {
        g_status.store(0);
        ::SetConsoleCtrlHandler(OnControl, TRUE);
        // Our texts are UTF-8; a console window shows them right only when
        // told so. Put back what it had when we are done.
        if (IsConsole(STD_OUTPUT_HANDLE) || IsConsole(STD_ERROR_HANDLE)) {
            previousCodePage_ = ::GetConsoleOutputCP();
            ::SetConsoleOutputCP(CP_UTF8);
        }
    }

    ~WindowsConsole() override {
        if (previousCodePage_ != 0)
            ::SetConsoleOutputCP(previousCodePage_);
        ::SetConsoleCtrlHandler(OnControl, FALSE);
        g_status.store(0);
        g_instance.store(false);
    }

    WindowsConsole(const WindowsConsole&) = delete;
    WindowsConsole& operator=(const WindowsConsole&) = delete;

    bool IsTerminal(StandardStream stream) const override {
        return IsConsole(stream == StandardStream::Input    ? STD_INPUT_HANDLE
                         : stream == StandardStream::Output ? STD_OUTPUT_HANDLE
                                                            : STD_ERROR_HANDLE);
    }

    int InterruptStatus() const override { return g_status.load(); }

private:
    UINT previousCodePage_ = 0;
};

} // namespace

std::unique_ptr<Console> CreateConsole() {
    if (g_instance.exchange(true))
        return nullptr;
    return std::make_unique<WindowsConsole>();
}

} // namespace zentaro::platform
