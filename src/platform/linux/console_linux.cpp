#include "platform/console.h"

#include <atomic>
#include <signal.h>
#include <unistd.h>

namespace zentaro::platform {

namespace {

// The signal handler can reach nothing but globals. A lock-free atomic is
// safe to touch from it.
std::atomic<int> g_signal{0};
std::atomic<bool> g_instance{false};
static_assert(std::atomic<int>::is_always_lock_free);

void OnInterrupt(int signalNumber) {
    int none = 0;
    if (g_signal.compare_exchange_strong(none, signalNumber))
        return;
    // The first one did not end the program: end it now.
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

class LinuxConsole final : public Console {
public:
    LinuxConsole() {
        g_signal.store(0);
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        // Writes and reads in progress carry on instead of failing with EINTR.
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &previousInt_);
        ::sigaction(SIGTERM, &action, &previousTerm_);
    }

    ~LinuxConsole() override {
        ::sigaction(SIGINT, &previousInt_, nullptr);
        ::sigaction(SIGTERM, &previousTerm_, nullptr);
        g_signal.store(0);
        g_instance.store(false);
    }

    LinuxConsole(const LinuxConsole&) = delete;
    LinuxConsole& operator=(const LinuxConsole&) = delete;

    bool IsTerminal(StandardStream stream) const override {
        const int fd = stream == StandardStream::Input    ? STDIN_FILENO
                       : stream == StandardStream::Output ? STDOUT_FILENO
                                                          : STDERR_FILENO;
        return ::isatty(fd) == 1;
    }

    int InterruptStatus() const override {
        const int signalNumber = g_signal.load();
        return signalNumber == 0 ? 0 : 128 + signalNumber;
    }

private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

} // namespace

std::unique_ptr<Console> CreateConsole() {
    if (g_instance.exchange(true))
        return nullptr;
    return std::make_unique<LinuxConsole>();
}

} // namespace zentaro::platform
