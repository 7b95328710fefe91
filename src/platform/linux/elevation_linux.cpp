#include "platform/elevation.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
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

// How long a withdrawn asker has to end on SIGTERM before it is killed.
constexpr std::chrono::seconds kTermGrace{2};
// How long a killed asker is waited for before it is left to the system.
constexpr std::chrono::seconds kKillGrace{2};

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

// Ends withdrawn askers away from the caller's thread: each has had SIGTERM,
// gets SIGKILL after a grace, and is reaped, so none stays behind, not even as
// a zombie. At the program's end, those left are killed at once.
class Reaper {
public:
    static Reaper& Instance() {
        static Reaper reaper;
        return reaper;
    }

    void Add(pid_t pid) {
        const std::lock_guard lock(mutex_);
        askers_.push_back({pid, Clock::now() + kTermGrace, false});
        if (!thread_.joinable())
            thread_ = std::thread(&Reaper::Run, this);
        wake_.notify_one();
    }

    ~Reaper() {
        {
            const std::lock_guard lock(mutex_);
            ending_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable())
            thread_.join();
    }

    Reaper(const Reaper&) = delete;
    Reaper& operator=(const Reaper&) = delete;

private:
    using Clock = std::chrono::steady_clock;
    struct Asker {
        pid_t pid;
        Clock::time_point next; // when to kill it, or, once killed, to give up on it
        bool killed;
    };

    Reaper() = default;

    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return ending_ || !askers_.empty(); });
            if (ending_ && askers_.empty())
                return;
            const auto now = Clock::now();
            for (auto it = askers_.begin(); it != askers_.end();) {
                int status = 0;
                const pid_t done = ::waitpid(it->pid, &status, WNOHANG);
                if (done == it->pid || (done < 0 && errno == ECHILD)) {
                    it = askers_.erase(it);
                } else if (!it->killed && (ending_ || now >= it->next)) {
                    // Refused: it has become a copy with rights of its own.
                    if (::kill(it->pid, SIGKILL) != 0 && errno == EPERM) {
                        it = askers_.erase(it);
                        continue;
                    }
                    it->killed = true;
                    it->next = now + kKillGrace;
                    ++it;
                } else if (it->killed && now >= it->next) {
                    it = askers_.erase(it);
                } else {
                    ++it;
                }
            }
            if (!askers_.empty())
                wake_.wait_for(lock, std::chrono::milliseconds(20));
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Asker> askers_;
    bool ending_ = false;
    std::thread thread_;
};

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

    // The asker is told to end and then killed and reaped elsewhere: one that
    // ignores SIGTERM never holds up the caller.
    void Abandon() override {
        if (Poll() != ElevatedStartState::Pending)
            return;
        ::kill(pid_, SIGTERM);
        Reaper::Instance().Add(pid_);
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
