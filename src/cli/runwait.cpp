#include "runwait.h"

#include <algorithm>

namespace zentaro::cli {

namespace {

constexpr double kStartAndEndSeconds = 60.0;
constexpr double kSlowestPace = 100'000.0; // operations a second, one worker

} // namespace

double RunWaitSeconds(std::uint64_t operationsPerWorker, unsigned workers, unsigned processors) {
    const std::uint64_t share = std::max(processors, 1u);
    // Rounds of workers the processors run one after another.
    const std::uint64_t rounds = std::max<std::uint64_t>((workers + share - 1) / share, 1);
    return kStartAndEndSeconds +
           static_cast<double>(operationsPerWorker) * static_cast<double>(rounds) / kSlowestPace;
}

double SlowestRunSpeed() {
    // More operations or workers only make a run's slowest speed higher.
    return 1.0 / RunWaitSeconds(1, 1, 1);
}

} // namespace zentaro::cli
