#pragma once

#include "cli/comparison.h"
#include "cli/readiness.h"
#include "cli/summary.h"
#include "engine/run.h"
#include "sysinfo/machinefacts.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentaro::cli {

// Who the program says it is.
struct Identity {
    std::string title;   // "KESTRIX - Zentaro"
    std::string product; // "Zentaro"
    std::string version; // "1.0"
};

// "completed", "too_short", "stopped" or "failed".
std::string_view StatusName(RunOutcome::Status status);

// Everything a run of the command line found out.
struct Results {
    std::vector<RunOutcome> runs; // in the order they ran
    std::vector<RunSummary> summary;
    std::vector<Warning> warnings;
    std::optional<std::vector<ScalingStep>> scaling; // with --scaling
    std::optional<std::vector<Change>> comparison;   // with --compare
};

// "Single-core run" or "Multi-core run", with " <number> of <of>" when a run is
// repeated.
std::string RunTitle(bool multiCore, std::size_t number, std::size_t of);

// Plain text. Everything that comes from outside (names, facts, error texts)
// is passed through TerminalText. A run that is one of several of its kind
// says which one it is ("run 2 of 5").
std::string PlainRunReport(const RunOutcome& outcome, std::string_view decimalSeparator,
                           std::size_t number = 1, std::size_t of = 1);
// Median, range, spread and rating of each kind of run.
std::string PlainSummaryReport(const std::vector<RunSummary>& summary,
                               std::string_view decimalSeparator);
std::string PlainScalingReport(WorkloadKind kind, const std::vector<ScalingStep>& scaling,
                               std::string_view decimalSeparator);
std::string PlainComparisonReport(const std::string& file, const std::vector<Change>& changes,
                                  std::string_view decimalSeparator);
// "Warning: ..." lines.
std::string PlainWarnings(const std::vector<Warning>& warnings);
// The product line and the five machine facts with the window's captions.
std::string PlainMachineReport(const Identity& identity, const sysinfo::MachineFacts& machine);

// The version of the JSON output's layout. Output without one is version 1;
// version 2 added the schema version, the start time, the system and kernel,
// the physical cores and the speeds as numbers, and kept every earlier key.
inline constexpr int kJsonSchemaVersion = 2;

// What the JSON output says besides the window's machine facts: the system
// beneath them and when the work began. Empty members are unknown.
struct JsonContext {
    std::optional<std::string> startedUtc; // UtcTimestamp()
    std::optional<unsigned> physicalCores;
    std::string os;     // the system's description, "Debian GNU/Linux 12 (bookworm)"
    std::string kernel; // the kernel's release, "6.1.0-18-amd64"
};

// A moment in ISO 8601, UTC, to the whole second: "2026-12-11T01:02:03Z". A
// fraction of a second is cut off, never rounded up into the next second.
std::string UtcTimestamp(std::chrono::system_clock::time_point moment);

// One JSON object, valid UTF-8 whatever the texts hold (invalid bytes become
// U+FFFD); numbers are written locale-independently. Without results (--info)
// it holds the product, the context and the machine only.
std::string JsonReport(const Identity& identity, const sysinfo::MachineFacts& machine,
                       const JsonContext& context, const Results* results);
// The runs with their summary, no warnings and an unknown context.
std::string JsonReport(const Identity& identity, const sysinfo::MachineFacts& machine,
                       const std::vector<RunOutcome>& runs);

} // namespace zentaro::cli
