// zentaro-cli: the benchmark without a window, for servers and scripts.
#include "about/versioninfo.h"
#include "cli/cli.h"
#include "platform/clockspeed.h"
#include "platform/commandline.h"
#include "platform/console.h"
#include "platform/frequencygovernors.h"
#include "platform/hypervisor.h"
#include "platform/kernelrelease.h"
#include "platform/osdescription.h"
#include "platform/powersupply.h"
#include "platform/processend.h"
#include "platform/processortimes.h"
#include "platform/processortopology.h"
#include "platform/registry.h"
#include "platform/systeminfo.h"
#include "platform/thermalthrottle.h"
#include "platform/versionresource.h"
#include "sysinfo/machinefacts.h"

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <iostream>

namespace {

// The whole program; everything it opened is closed when this returns.
int RunProgram(int argc, char** argv) {
    // Numbers in plain output follow the user's locale, as in the window.
    std::setlocale(LC_ALL, "");
    namespace platform = zentaro::platform;
    // The process's one console: it owns the interrupt handlers.
    const std::unique_ptr<platform::Console> console = platform::CreateConsole();

    zentaro::cli::Environment env;
    // Who we are comes from our own file, as in the window.
    env.identity = [] {
        const auto resources = platform::CreateVersionResource();
        const zentaro::AppIdentity id =
            zentaro::ReadAppIdentity(*resources, platform::RunningExecutableImage());
        return zentaro::cli::Identity{id.AppTitle, id.AppProductName, id.AppVersion};
    };
    const auto registry = platform::CreateSystemRegistry();
    const auto system = platform::CreateSystemInfo();
    const auto clock = platform::CreateClockSpeedSource();
    env.machine = zentaro::sysinfo::CollectMachineFacts(*registry, *system, *clock);
    env.threads = env.machine.threads; // the multi-core run's worker count
    if (const std::lconv* numbers = std::localeconv();
        numbers && numbers->decimal_point && *numbers->decimal_point)
        env.decimalSeparator = numbers->decimal_point;
    env.console = console.get();
    // What may distort the figures: the clock policy, the battery, other
    // work, heat, a shared host.
    const auto governors = platform::CreateFrequencyGovernors();
    const auto power = platform::CreatePowerSupply();
    const auto processorTimes = platform::CreateProcessorTimes();
    const auto throttle = platform::CreateThermalThrottle();
    const auto hypervisor = platform::CreateHypervisor();
    env.readiness.governors = governors.get();
    env.readiness.power = power.get();
    env.readiness.processorTimes = processorTimes.get();
    env.readiness.throttle = throttle.get();
    env.readiness.hypervisor = hypervisor.get();
    // What the JSON output says about the system and when the work began.
    const auto os = platform::CreateOsDescription();
    const auto kernel = platform::CreateKernelRelease();
    const auto topology = platform::CreateProcessorTopology();
    env.system.os = os.get();
    env.system.kernel = kernel.get();
    env.system.topology = topology.get();
    env.wallClock = [] { return std::chrono::system_clock::now(); };

    const std::vector<std::string> args = platform::CommandLineArguments(argc, argv);
    const int status = zentaro::cli::RunCommandLine(args, env, std::cout, std::cerr);
    if (console && console->InterruptStatus() != 0)
        std::_Exit(status); // do not wait for workers that are still winding down
    return status;
}

} // namespace

int main(int argc, char** argv) {
    // Ends as the window program does: on Windows the runtimes' own exit-time
    // clean-up can wait forever.
    zentaro::platform::EndProcess(RunProgram(argc, argv));
}
