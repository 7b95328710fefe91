#include "platform/elevation.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace zentaro::platform {

namespace {

// What the elevated copy needs to reach the user's display; pkexec starts it
// with a clean environment otherwise.
constexpr const char* kDisplayVariables[] = {"DISPLAY",
                                             "XAUTHORITY",
                                             "WAYLAND_DISPLAY",
                                             "XDG_RUNTIME_DIR",
                                             "XDG_SESSION_TYPE",
                                             "QT_QPA_PLATFORM",
                                             "DBUS_SESSION_BUS_ADDRESS",
                                             "LANG",
                                             "LANGUAGE",
                                             "LC_ALL",
                                             "LC_MESSAGES"};

// pkexec's own exit statuses: the user dismissed the question; the rights were
// not granted (refused, wrong password, no agent to ask).
constexpr int kDismissed = 126;
constexpr int kNotGranted = 127;

// The name the kernel gives a process: the file's base name, cut to 15 bytes.
std::string ProcessName(const std::string& executable) {
    const auto slash = executable.find_last_of('/');
    std::string name = slash == std::string::npos ? executable : executable.substr(slash + 1);
    if (name.size() > 15)
        name.resize(15);
    return name;
}

// A small /proc file of a process, whole (at most max bytes); empty when
// unreadable.
std::string ReadProcFile(pid_t pid, const char* file, std::size_t max) {
    const std::string path = "/proc/" + std::to_string(pid) + "/" + file;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text(max, '\0');
    std::size_t used = 0;
    while (used < max) {
        const ssize_t n = ::read(fd, text.data() + used, max - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(used);
    return text;
}

class LinuxElevatedStart final : public ElevatedStart {
public:
    // execSeen: a pipe's read end whose only writer closes as the asker's exec
    // happens.
    LinuxElevatedStart(pid_t pid, int execSeen, std::string expectedName)
        : pid_(pid), execSeen_(execSeen), expectedName_(std::move(expectedName)) {}

    // Nobody waits for a child still running when the program ends: it runs
    // in a session of its own and the system reaps it.
    ~LinuxElevatedStart() override {
        if (execSeen_ >= 0)
            ::close(execSeen_);
    }

    LinuxElevatedStart(const LinuxElevatedStart&) = delete;
    LinuxElevatedStart& operator=(const LinuxElevatedStart&) = delete;

    static std::unique_ptr<LinuxElevatedStart> Settled(ElevatedStartState state, int detail) {
        auto start = std::make_unique<LinuxElevatedStart>(0, -1, std::string());
        start->state_ = state;
        start->detail_ = detail;
        return start;
    }

    ElevatedStartState Poll() override {
        if (state_ != ElevatedStartState::Pending)
            return state_;
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            Settle(status);
            return state_;
        }
        // Until the asker's own exec, the child is a copy of this process and
        // bears its name, which may well be the program's.
        if (!ExecHappened())
            return state_;
        // pkexec replaces itself with the program once the rights are
        // granted: the child taking the program's name is its sign of life.
        // An exec closes the pipe a moment before it renames the process, but
        // sets up the new arguments only after: arguments there mean the name
        // read next is the new image's own.
        if (ReadProcFile(pid_, "cmdline", 1).empty())
            return state_;
        std::string name = ReadProcFile(pid_, "comm", 64);
        if (!name.empty() && name.back() == '\n')
            name.pop_back();
        if (name == expectedName_)
            state_ = ElevatedStartState::Started;
        return state_;
    }

    int detail() const override { return detail_; }

    void Abandon() override {
        if (Poll() != ElevatedStartState::Pending)
            return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        state_ = ElevatedStartState::Dismissed;
    }

private:
    bool ExecHappened() {
        if (execSeen_ < 0)
            return true;
        char byte = 0;
        ssize_t n = 0;
        do
            n = ::read(execSeen_, &byte, 1);
        while (n < 0 && errno == EINTR);
        if (n != 0) // nothing is ever written: still open (EAGAIN)
            return false;
        ::close(execSeen_);
        execSeen_ = -1;
        return true;
    }

    void Settle(int status) {
        if (WIFEXITED(status) && WEXITSTATUS(status) == kDismissed) {
            state_ = ElevatedStartState::Dismissed;
        } else if (WIFEXITED(status) && WEXITSTATUS(status) == kNotGranted) {
            state_ = ElevatedStartState::NotGranted;
        } else {
            // Ended before it was seen running: the copy (or the asker)
            // failed; its status says how.
            state_ = ElevatedStartState::Failed;
            detail_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
    }

    pid_t pid_;
    int execSeen_;
    std::string expectedName_;
    ElevatedStartState state_ = ElevatedStartState::Pending;
    int detail_ = 0;
};

class LinuxElevation final : public Elevation {
public:
    explicit LinuxElevation(std::string asker) : asker_(std::move(asker)) {}

    bool IsElevated() const override { return ::geteuid() == 0; }

    // pkexec asks for the administrator's password through the desktop's
    // agent, then runs "env NAME=value ... executable" as root.
    std::unique_ptr<ElevatedStart> StartElevated(const std::string& executable) override {
        std::vector<std::string> args{asker_, "env"};
        for (const char* name : kDisplayVariables) {
            if (const char* value = std::getenv(name))
                args.push_back(std::string(name) + "=" + value);
        }
        args.push_back(executable);
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        // The child holds the write end until its exec closes it; end of file
        // on the read end is the proof that the asker runs.
        int execPipe[2];
        if (::pipe2(execPipe, O_CLOEXEC) != 0)
            return LinuxElevatedStart::Settled(ElevatedStartState::Failed, errno);
        ::fcntl(execPipe[0], F_SETFL, O_NONBLOCK);

        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        pid_t pid = 0;
        const int error =
            ::posix_spawnp(&pid, asker_.c_str(), nullptr, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        ::close(execPipe[1]);
        if (error != 0)
            ::close(execPipe[0]);
        if (error == ENOENT)
            return LinuxElevatedStart::Settled(ElevatedStartState::NoTool, error);
        if (error != 0)
            return LinuxElevatedStart::Settled(ElevatedStartState::Failed, error);
        return std::make_unique<LinuxElevatedStart>(pid, execPipe[0], ProcessName(executable));
    }

private:
    std::string asker_;
};

} // namespace

std::unique_ptr<Elevation> CreateElevation(const std::string& asker) {
    return std::make_unique<LinuxElevation>(asker.empty() ? "pkexec" : asker);
}

} // namespace zentaro::platform
