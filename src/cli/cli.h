#pragma once

#include "cli/options.h"
#include "cli/readiness.h"
#include "cli/report.h"
#include "engine/run.h"
#include "platform/console.h"
#include "platform/kernelrelease.h"
#include "platform/osdescription.h"
#include "platform/processortopology.h"
#include "sysinfo/machinefacts.h"

#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace zentaro::cli {

// Where the JSON output's facts about the system come from; an unset source
// reports its fact as unknown.
struct SystemSources {
    const platform::OsDescription* os = nullptr;
    const platform::KernelRelease* kernel = nullptr;
    const platform::ProcessorTopology* topology = nullptr;
};

// What the command line needs from around it; main() fills it in.
struct Environment {
    // Who the program is. Called only when it is needed (not for --help, nor
    // for bad arguments); throws std::exception saying why it cannot be read.
    std::function<Identity()> identity;
    sysinfo::MachineFacts machine;
    unsigned threads = 1; // logical processors the process may use
    // The decimal separator of the locale numbers are shown in, UTF-8.
    std::string decimalSeparator = ".";
    // The stopwatch of the runs.
    MonotonicClock clock; // the run's own default when empty
    // Terminal checks and the interrupt; null means no progress and no interrupt.
    const platform::Console* console = nullptr;
    // The machine's state before and during the runs; unset sources give no
    // warnings.
    ReadinessSources readiness;
    // Read only for JSON output.
    SystemSources system;
    // The date and time the JSON output says the work began at; unknown when
    // unset.
    std::function<std::chrono::system_clock::time_point()> wallClock;

    // Seams for tests; the program leaves them empty.
    struct Testing {
        // Starts a run in place of the engine; it may never post an outcome,
        // as a lost run thread does not.
        std::function<std::shared_ptr<RunHandle>(const RunRequest&, bool multi, unsigned workers,
                                                 PostToCaller, DisplayStep)>
            startRun;
        // The clock the wait for a run's outcome is measured on.
        MonotonicClock waitClock; // steady_clock when empty
    } testing;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1; // a run failed or was lost, output could not be written
inline constexpr int kExitUsage = 2;   // also an earlier result that cannot be compared with
// An interrupt ends the program with the console's InterruptStatus().

// Parses args, runs what they ask for and writes the results to out, messages
// to err. Every write to out is flushed and checked: output that cannot be
// written gives an error line on err and kExitFailure.
int RunCommandLine(const std::vector<std::string>& args, const Environment& env, std::ostream& out,
                   std::ostream& err);

} // namespace zentaro::cli
