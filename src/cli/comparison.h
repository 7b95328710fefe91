#pragma once

#include "cli/summary.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentaro::cli {

// A measured run from an earlier --json output.
struct EarlierRun {
    bool multiCore = false;
    std::string testType; // the English name, as written
    unsigned threads = 1;
    double opsPerSecond = 0;
};

struct EarlierResult {
    std::vector<EarlierRun> runs; // only those with a speed
};

// The largest earlier output read: a thousand repeats of a wide machine's
// runs stay well inside it.
inline constexpr std::size_t kMaxEarlierResultBytes = std::size_t{64} * 1024 * 1024;

// Reads an earlier --json output. On failure, error is one line saying why.
std::optional<EarlierResult> ParseEarlierResult(std::string_view json, std::string& error);
std::optional<EarlierResult> LoadEarlierResult(const std::string& path, std::string& error);

// The change of one kind of run: the earlier median and the present one.
struct Change {
    bool multiCore = false;
    std::string testType;
    unsigned threads = 1;         // now
    unsigned earlierThreads = 1;  // differs only when both sides ran one worker count
    double earlier = 0;           // operations per second
    std::optional<double> now;    // empty when no run of this kind was measured now
    std::optional<double> change; // (now - earlier) / earlier, a fraction
};

// Pairs each present summary with the earlier runs of the same mode, test
// type and worker count. A multi-core kind that ran with one worker count on
// each side, different ones (another machine), is paired all the same.
// Summaries without an earlier counterpart are left out.
std::vector<Change> Compare(const EarlierResult& earlier, const std::vector<RunSummary>& now);

} // namespace zentaro::cli
