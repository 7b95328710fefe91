#include "summary.h"

#include <algorithm>

namespace zentaro::cli {

std::optional<double> RunSummary::ratingValue() const {
    if (!median)
        return std::nullopt;
    return multiCore ? MultiCoreRatingValue(*median) : SingleCoreRatingValue(*median);
}

std::optional<double> Median(std::vector<double> values) {
    if (values.empty())
        return std::nullopt;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    if (values.size() % 2 == 1)
        return values[middle];
    // Halved before adding, so that two speeds near the top cannot overflow.
    return values[middle - 1] / 2 + values[middle] / 2;
}

std::vector<RunSummary> Summarise(const std::vector<RunOutcome>& runs) {
    std::vector<RunSummary> summaries;
    std::vector<std::vector<double>> speeds;
    for (const RunOutcome& run : runs) {
        auto it = std::find_if(summaries.begin(), summaries.end(),
                               [&](const RunSummary& s) { return s.sameKind(run); });
        if (it == summaries.end()) {
            summaries.push_back({run.multiCore, run.kind, run.threads});
            speeds.emplace_back();
            it = summaries.end() - 1;
        }
        ++it->repeats;
        if (run.hasResult())
            speeds[static_cast<std::size_t>(it - summaries.begin())].push_back(run.score);
    }
    for (std::size_t i = 0; i < summaries.size(); ++i) {
        RunSummary& s = summaries[i];
        const std::vector<double>& v = speeds[i];
        s.measured = v.size();
        if (v.empty())
            continue;
        s.median = Median(v);
        s.minimum = *std::min_element(v.begin(), v.end());
        s.maximum = *std::max_element(v.begin(), v.end());
        if (*s.median > 0)
            s.spread = (*s.maximum - *s.minimum) / *s.median;
    }
    return summaries;
}

std::vector<unsigned> ScalingLadder(unsigned top) {
    std::vector<unsigned> ladder;
    for (unsigned n = 1; n < top; n *= 2) {
        ladder.push_back(n);
        if (n > top / 2)
            break; // the next step would pass top (or wrap)
    }
    ladder.push_back(top);
    return ladder;
}

std::vector<ScalingStep> Scaling(const std::vector<RunSummary>& summaries) {
    std::optional<double> base;
    for (const RunSummary& s : summaries) {
        if (!s.multiCore && s.median)
            base = s.median;
    }
    std::vector<ScalingStep> steps;
    for (const RunSummary& s : summaries) {
        if (!s.multiCore)
            continue;
        ScalingStep step{s.threads, s.median, std::nullopt};
        if (s.median && base && *base > 0 && s.threads > 0)
            step.efficiency = *s.median / (s.threads * *base);
        steps.push_back(step);
    }
    return steps;
}

} // namespace zentaro::cli
