#pragma once

#include <cstdint>

namespace zentaro::cli {

// How long, in seconds, the command line waits for a run's outcome before it
// takes the run's thread as lost: a minute for starting and ending its
// threads, plus the work at a pace far below any processor's (100,000
// operations a second for each worker, the workers taking turns on the
// processors). A run that is really going on never lasts that long.
double RunWaitSeconds(std::uint64_t operationsPerWorker, unsigned workers, unsigned processors);

// The slowest speed a run can show: one operation over the wait for it.
double SlowestRunSpeed();

} // namespace zentaro::cli
