#pragma once

#include "engine/run.h"
#include "engine/workloads.h"
#include "sysinfo/machinefacts.h"

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace zentaro::cli {

struct Options {
    WorkloadKind kind = WorkloadKind::Default;
    int length = 1;
    std::optional<std::uint64_t> operations; // exact count, overrides length
    bool single = true;
    bool multi = true;
    bool json = false;
    bool info = false;
    bool help = false;
    bool version = false;

    std::uint64_t operationCount() const {
        return operations ? *operations : OperationCountForLength(length);
    }
};

struct ParseResult {
    Options options;
    std::string error; // one line; empty when the arguments are good
};

ParseResult ParseArguments(const std::vector<std::string>& args);
std::string UsageText();

// Who the program says it is.
struct Identity {
    std::string title;   // "KESTRIX - Zentaro"
    std::string product; // "Zentaro"
    std::string version; // "1.0"
};

// "%.2f" with the decimal separator of the C library's current numeric locale.
std::string FormatFixed2(double value);
std::string ElapsedText(const RunOutcome& outcome);
std::string SpeedText(const RunOutcome& outcome);

std::string PlainRunReport(const RunOutcome& outcome);
// The product line and the five machine facts with the window's captions.
std::string PlainMachineReport(const Identity& identity, const sysinfo::MachineFacts& machine);
// One JSON object; numbers are written locale-independently. withRuns false
// leaves out "runs" (--info).
std::string JsonReport(const Identity& identity, const sysinfo::MachineFacts& machine,
                       const std::vector<RunOutcome>& runs, bool withRuns = true);
std::string JsonString(const std::string& text);

} // namespace zentaro::cli

namespace zentaro::cli {

// What the command line needs from around it; main() fills it in.
struct Environment {
    Identity identity;
    sysinfo::MachineFacts machine;
    unsigned threads = 1;                           // logical processors the process may use
    bool progressOnTerminal = false;                // standard error is a terminal
    const std::atomic<bool>* interrupted = nullptr; // set by Ctrl-C
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

int RunCommandLine(const std::vector<std::string>& args, const Environment& env, std::ostream& out,
                   std::ostream& err);

} // namespace zentaro::cli
