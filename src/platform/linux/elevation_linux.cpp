#include "platform/elevation.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
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

class LinuxElevatedStart final : public ElevatedStart {
public:
    LinuxElevatedStart(pid_t pid, std::string expectedName)
        : pid_(pid), expectedName_(std::move(expectedName)) {}

    // Nobody waits for a child still running when the program ends: it runs
    // in a session of its own and the system reaps it.
    ~LinuxElevatedStart() override = default;

    static std::unique_ptr<LinuxElevatedStart> Settled(ElevatedStartState state, int detail) {
        auto start = std::make_unique<LinuxElevatedStart>(0, std::string());
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
        // pkexec replaces itself with the program once the rights are
        // granted: the child taking the program's name is its sign of life.
        std::ifstream comm("/proc/" + std::to_string(pid_) + "/comm");
        std::string name;
        if (comm && std::getline(comm, name) && name == expectedName_)
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

        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        pid_t pid = 0;
        const int error =
            ::posix_spawnp(&pid, asker_.c_str(), nullptr, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        if (error == ENOENT)
            return LinuxElevatedStart::Settled(ElevatedStartState::NoTool, error);
        if (error != 0)
            return LinuxElevatedStart::Settled(ElevatedStartState::Failed, error);
        return std::make_unique<LinuxElevatedStart>(pid, ProcessName(executable));
    }

private:
    std::string asker_;
};

} // namespace

std::unique_ptr<Elevation> CreateElevation(const std::string& asker) {
    return std::make_unique<LinuxElevation>(asker.empty() ? "pkexec" : asker);
}

} // namespace zentaro::platform
