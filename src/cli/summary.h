#pragma once

#include "engine/run.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace zentaro::cli {

// The runs of one kind (mode, workload and number of workers) taken
// together. Only completed runs have a speed; the others are counted in
// repeats and left out of the figures.
struct RunSummary {
    bool multiCore = false;
    WorkloadKind kind = WorkloadKind::Default;
    unsigned threads = 1;
    std::size_t repeats = 0;  // runs made
    std::size_t measured = 0; // of those, runs with a speed
    // Operations per second over the measured runs; empty when there is none.
    std::optional<double> median;
    std::optional<double> minimum;
    std::optional<double> maximum;
    // (maximum - minimum) / median, a fraction; empty without a median.
    std::optional<double> spread;

    bool sameKind(const RunOutcome& run) const {
        return run.multiCore == multiCore && run.kind == kind && run.threads == threads;
    }
    // The median on the rating scale of its mode.
    std::optional<double> ratingValue() const;
};

// The middle value, or the mean of the two middle ones; empty for no values.
std::optional<double> Median(std::vector<double> values);

// One summary per kind of run, in the order the kinds first appear.
std::vector<RunSummary> Summarise(const std::vector<RunOutcome>& runs);

// Worker counts of a scaling series: 1, 2, 4, ... while below top, then top
// itself.
std::vector<unsigned> ScalingLadder(unsigned top);

// A step of a scaling series: the median speed of the multi-core runs with
// that many workers, and how much of the single-core speed each worker
// delivers (speed / (workers x single-core speed); 1 is perfect).
struct ScalingStep {
    unsigned threads = 0;
    std::optional<double> opsPerSecond;
    std::optional<double> efficiency;
};

// The scaling series from the summaries of its runs: the single-core median
// as the base, then each multi-core summary in order.
std::vector<ScalingStep> Scaling(const std::vector<RunSummary>& summaries);

} // namespace zentaro::cli
