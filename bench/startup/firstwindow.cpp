// firstwindow: starts a program and measures, from outside it, the time until
// its first top-level window is mapped on the X display.
//
//   firstwindow [--keep] [--any] [--timeout SECONDS] -- PROGRAM [ARGUMENTS...]
//
// Prints one line, "<milliseconds> <pid> <window id> <width>x<height>", the
// milliseconds counted from just before the program is spawned. Without --keep the program is ended
// at once; with --keep it runs on until this helper's standard input reaches its end, so that a
// script can measure the running process and then close the pipe.
// --any accepts the first top-level window mapped after the spawn, whoever owns
// it; by default only a window whose _NET_WM_PID is the child's counts. The
// program's standard input is /dev/null and its output goes to standard error.
//
// Exit status: 0 measured, 1 the program failed to start, ended or showed no
// window before the time-out, 2 bad arguments or no display.
//
// A measuring tool for the start-up benchmark (bench/startup/run.sh), not part
// of the product: it talks to the X server and the process table directly.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

volatile sig_atomic_t childPid = 0;

// Interrupted by the user or the script: the child goes with us.
void OnSignal(int signal) {
    if (childPid > 0)
        kill(childPid, SIGTERM);
    _exit(128 + signal);
}

int Usage() {
    std::fputs("usage: firstwindow [--keep] [--any] [--timeout SECONDS] -- PROGRAM [ARGS...]\n",
               stderr);
    return 2;
}

std::optional<long> WindowPid(Display* display, Window window, Atom pidAtom) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type,
                                          &format, &count, &after, &data);
    std::optional<long> pid;
    if (status == Success && type == XA_CARDINAL && format == 32 && count == 1)
        pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    return pid;
}

// A window that vanished between its map and our question is no error.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

bool ChildEnded(pid_t pid, int* status) {
    return waitpid(pid, status, WNOHANG) == pid;
}

// SIGTERM, then SIGKILL if it has not ended within five seconds.
void EndChild(pid_t pid) {
    int status = 0;
    if (ChildEnded(pid, &status))
        return;
    kill(pid, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
        if (ChildEnded(pid, &status))
            return;
        usleep(10'000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
}

} // namespace

int main(int argc, char** argv) {
    bool keep = false;
    bool any = false;
    double timeoutSeconds = 30;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string_view arg = argv[first];
        if (arg == "--") {
            ++first;
            break;
        }
        if (arg == "--keep") {
            keep = true;
        } else if (arg == "--any") {
            any = true;
        } else if (arg == "--timeout" && first + 1 < argc) {
            char* end = nullptr;
            timeoutSeconds = std::strtod(argv[++first], &end);
            if (*end != '\0' || !(timeoutSeconds > 0))
                return Usage();
        } else {
            return Usage();
        }
    }
    if (first >= argc)
        return Usage();

    const std::unique_ptr<Display, decltype(&XCloseDisplay)> connection(XOpenDisplay(nullptr),
                                                                        &XCloseDisplay);
    Display* display = connection.get();
    if (!display) {
        std::fputs("firstwindow: cannot open the X display\n", stderr);
        return 2;
    }
    XSetErrorHandler(IgnoreXError);
    const Window root = DefaultRootWindow(display);
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    // Top-level windows are the root's children: their maps reach us here.
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True); // the selection is in force before the clock starts

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    // The program reads nothing, and what it prints goes to standard error,
    // so that our one line stays alone on standard output.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);

    pid_t pid = 0;
    const Clock::time_point start = Clock::now();
    const int spawned = posix_spawnp(&pid, argv[first], &actions, nullptr, argv + first, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "firstwindow: cannot start %s: %s\n", argv[first],
                     std::strerror(spawned));
        return 1;
    }
    childPid = pid;

    const auto deadline = start + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(timeoutSeconds));
    std::optional<Clock::time_point> mapped;
    Window window = None;
    int status = 0;
    pollfd events{ConnectionNumber(display), POLLIN, 0};
    while (!mapped) {
        while (!mapped && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != MapNotify || event.xmap.override_redirect)
                continue;
            const Clock::time_point now = Clock::now();
            if (any || WindowPid(display, event.xmap.window, pidAtom) == long{pid}) {
                mapped = now;
                window = event.xmap.window;
            }
        }
        if (mapped)
            break;
        if (ChildEnded(pid, &status)) {
            if (WIFSIGNALED(status))
                std::fprintf(stderr, "firstwindow: %s ended by signal %d before showing a window\n",
                             argv[first], WTERMSIG(status));
            else
                std::fprintf(stderr,
                             "firstwindow: %s ended with status %d before showing a window\n",
                             argv[first], WEXITSTATUS(status));
            return 1;
        }
        if (Clock::now() >= deadline) {
            std::fprintf(stderr, "firstwindow: no window from %s within %g s\n", argv[first],
                         timeoutSeconds);
            EndChild(pid);
            return 1;
        }
        // Short waits, so that a child that dies is noticed; an event ends
        // the wait at once.
        poll(&events, 1, 20);
    }

    const double ms = std::chrono::duration<double, std::milli>(*mapped - start).count();
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes))
        attributes.width = attributes.height = 0;
    std::printf("%.2f %ld 0x%lx %dx%d\n", ms, static_cast<long>(pid), window, attributes.width,
                attributes.height);
    std::fflush(stdout);

    if (keep) {
        char buffer[256];
        while (true) {
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EINTR))
                break;
        }
    }
    EndChild(pid);
    childPid = 0;
    return 0;
}
