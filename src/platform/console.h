#pragma once

#include <memory>

namespace zentaro::platform {

enum class StandardStream { Input, Output, Error };

// The process's console: whether a standard stream is a terminal, and the
// interrupt (Ctrl-C, or a request from outside to terminate).
//
// Catching the interrupt takes over the process's handlers for it, and a
// process has only one handler per signal. So main() makes the one instance
// and hands it to the code that needs it; while it lives, CreateConsole()
// gives null. Destroying it puts the previous handlers back. While it lives, a
// console window takes the program's output as UTF-8.
class Console {
public:
    virtual ~Console() = default;

    virtual bool IsTerminal(StandardStream stream) const = 0;

    // 0 until an interrupt has arrived; then the exit status that reports it
    // to the shell: 130 for Ctrl-C, 143 for a request to terminate. A second
    // interrupt ends the process at once, the system's default way.
    virtual int InterruptStatus() const = 0;
};

std::unique_ptr<Console> CreateConsole();

} // namespace zentaro::platform
