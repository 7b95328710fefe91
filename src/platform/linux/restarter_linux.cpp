#include "platform/restart.h"

#include <cerrno>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace zentaro::platform {

namespace {

class LinuxRestarter final : public Restarter {
public:
    std::string ScriptName() const override { return "start.sh"; }

    std::optional<std::string> ScriptFor(const std::string& executable) const override {
        return PosixRestartScript(executable);
    }

    // A short-lived shell in a session of its own starts the script in the
    // background and ends at once; the script is then nobody's child and outlives
    // this program, and this program has no child left to reap. The script's path
    // reaches the shell as an argument, never as part of its command text.
    bool RunScript(const std::string& scriptPath, const std::string& workingFolder) override {
        std::vector<std::string> args{
            "/bin/sh", "-c", "/bin/sh \"$1\" </dev/null >/dev/null 2>&1 &", "sh", scriptPath};
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!workingFolder.empty())
            posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        pid_t pid = 0;
        const int spawned =
            ::posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return false;
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR)
                return false;
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
};

} // namespace

std::unique_ptr<Restarter> CreateRestarter() {
    return std::make_unique<LinuxRestarter>();
}

} // namespace zentaro::platform
