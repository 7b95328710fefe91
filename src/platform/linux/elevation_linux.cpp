#include "platform/elevation.h"

#include <cstdlib>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
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

class LinuxElevation final : public Elevation {
public:
    bool IsElevated() const override { return ::geteuid() == 0; }

    // pkexec asks for the administrator's password through the desktop's
    // agent, then runs "env NAME=value ... executable" as root.
    void StartElevated(const std::string& executable) override {
        std::vector<std::string> args{"pkexec", "env"};
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

        // The caller ends right after this; nobody waits for the child, so
        // the system reaps it.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        pid_t pid = 0;
        ::posix_spawnp(&pid, "pkexec", nullptr, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
    }
};

} // namespace

std::unique_ptr<Elevation> CreateElevation() {
    return std::make_unique<LinuxElevation>();
}

} // namespace zentaro::platform
