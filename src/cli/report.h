#pragma once

#include "engine/run.h"
#include "sysinfo/machinefacts.h"

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

// Plain text. Everything that comes from outside (names, facts, error texts)
// is passed through TerminalText.
std::string PlainRunReport(const RunOutcome& outcome, std::string_view decimalSeparator);
// The product line and the five machine facts with the window's captions.
std::string PlainMachineReport(const Identity& identity, const sysinfo::MachineFacts& machine);

// One JSON object, valid UTF-8 whatever the texts hold (invalid bytes become
// U+FFFD); numbers are written locale-independently. withRuns false leaves
// out "runs" (--info).
std::string JsonReport(const Identity& identity, const sysinfo::MachineFacts& machine,
                       const std::vector<RunOutcome>& runs, bool withRuns = true);

} // namespace zentaro::cli
