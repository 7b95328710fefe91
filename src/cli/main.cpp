// zentaro-cli: the benchmark without a window, for servers and scripts.
#include <algorithm>
#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <thread>
#include <unistd.h>

#include "cli/cli.h"

namespace {
std::atomic<bool> g_interrupted{false};
extern "C" void OnInterrupt(int) { g_interrupted.store(true); }
} // namespace

int main(int argc, char** argv) {
    // Numbers in plain output follow the user's locale, as in the window.
    std::setlocale(LC_ALL, "");
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    zentaro::cli::Environment env;
    env.identity = {ZENTARO_TITLE, ZENTARO_PRODUCT, ZENTARO_VERSION_TEXT};
    env.threads = std::max(1u, std::thread::hardware_concurrency());
    env.progressOnTerminal = isatty(STDERR_FILENO) != 0;
    env.interrupted = &g_interrupted;

    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = zentaro::cli::RunCommandLine(args, env, std::cout, std::cerr);
    std::cout.flush();
    if (status == zentaro::cli::kExitInterrupted)
        std::_Exit(status); // do not wait for workers that are still winding down
    return status;
}
