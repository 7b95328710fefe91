// zentaro-cli: the benchmark without a window, for servers and scripts.
#include "about/versioninfo.h"
#include "cli/cli.h"
#include "platform/clockspeed.h"
#include "platform/registry.h"
#include "platform/systeminfo.h"
#include "platform/versionresource.h"
#include "sysinfo/machinefacts.h"

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <unistd.h>

namespace {
std::atomic<bool> g_interrupted{false};
extern "C" void OnInterrupt(int) {
    g_interrupted.store(true);
}
} // namespace

int main(int argc, char** argv) {
    // Numbers in plain output follow the user's locale, as in the window.
    std::setlocale(LC_ALL, "");
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    namespace platform = zentaro::platform;
    zentaro::cli::Environment env;
    // Who we are comes from our own file, as in the window.
    try {
        const auto resources = platform::CreateVersionResource();
        const zentaro::AppIdentity id =
            zentaro::ReadAppIdentity(*resources, platform::CurrentExecutablePath());
        env.identity = {id.AppTitle, id.AppProductName, id.AppVersion};
    } catch (const std::exception& e) {
        std::cerr << "zentaro-cli: cannot read the version information: " << e.what() << "\n";
        return zentaro::cli::kExitFailure;
    }

    const auto registry = platform::CreateSystemRegistry();
    const auto system = platform::CreateSystemInfo();
    const auto clock = platform::CreateClockSpeedSource();
    env.machine = zentaro::sysinfo::CollectMachineFacts(*registry, *system, *clock);
    env.threads = env.machine.threads; // the multi-core run's worker count
    env.progressOnTerminal = isatty(STDERR_FILENO) != 0;
    env.interrupted = &g_interrupted;

    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = zentaro::cli::RunCommandLine(args, env, std::cout, std::cerr);
    std::cout.flush();
    if (status == zentaro::cli::kExitInterrupted)
        std::_Exit(status); // do not wait for workers that are still winding down
    return status;
}
