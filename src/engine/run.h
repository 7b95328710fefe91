#pragma once

#include "workloads.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zentaro {

// One reading of a monotonic clock. A run reads it at the start and at the end
// of its timed span; tests hand in scripted readings.
using MonotonicClock = std::function<std::chrono::nanoseconds()>;
// The real stopwatch: std::chrono::steady_clock, which a run reads when its
// request names no clock.
std::chrono::nanoseconds SteadyClockReading();

// What a finished run hands to its display step.
struct RunOutcome {
    enum class Status {
        Completed, // timed and scored
        TooShort,  // finished in under one whole millisecond: no speed to show
        Stopped,   // a stop was requested before the workload finished
        Failed,    // the run was refused or could not run; error says why
    };

    Status status = Status::Failed;
    bool multiCore = false;
    WorkloadKind kind = WorkloadKind::Default;
    std::uint64_t operationCount = 0; // per worker
    unsigned threads = 1;
    std::uint64_t totalOperations = 0; // operationCount x threads; 0 when refused
    std::uint64_t elapsedMilliseconds = 0;
    double elapsedSeconds = 0.0;
    double score = 0.0; // operations per second, all workers together
    // One entry per worker, in worker order: the value its loop stored, or
    // empty when that worker did not finish. No entries at all when the run was
    // refused before any worker started.
    std::vector<std::optional<std::uint64_t>> results;
    std::string error;

    bool hasResult() const { return status == Status::Completed; }
    // The value handed to the rating: million ops/sec x 15 for a single-core
    // run, x 1.5 for a multi-core run.
    double ratingValue() const;
};

// Whole milliseconds, truncated, in seconds.
double ElapsedSecondsFromMilliseconds(std::uint64_t milliseconds);
double SingleCoreRatingValue(double score);
double MultiCoreRatingValue(double score);

// A call queued onto the caller's thread. The engine never runs the display
// step on a worker; it hands it to this function instead.
using PostToCaller = std::function<void(std::function<void()>)>;
using DisplayStep = std::function<void(const RunOutcome&)>;

// Lets the caller watch and abandon a run in progress. Safe from any thread.
class RunHandle {
public:
    RunHandle(unsigned workers, std::uint64_t iterationsPerWorker);

    void requestStop() { stop_.store(true, std::memory_order_relaxed); }
    bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }
    // Share of the loop iterations done so far over all workers, 0..1.
    double progress() const;
    bool finished() const { return finished_.load(std::memory_order_acquire); }

private:
    friend class RunExecutor;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::uint64_t iterationsPerWorker_;
    std::unique_ptr<std::atomic<std::uint64_t>[]> done_;
    unsigned workers_;
};

// What a run does with its threads, for tests that make the thread library
// fail; each stands in for the std::thread member of its name. Empty in the
// program.
struct RunThreadOperations {
    std::function<void(std::thread&)> join;
    std::function<void(std::thread&)> detach;
};

struct RunRequest {
    WorkloadKind kind = WorkloadKind::Default;
    std::uint64_t operationCount = 0; // per worker
    MonotonicClock clock;             // SteadyClockReading when empty
    RunThreadOperations threadOperations;
};

// A run is refused, and ends Failed with an error text without starting any
// worker, when it has no worker, its kind is not one of the six, or its loop
// iterations per worker or its operations over all workers do not fit 64 bits.

// A thread the run cannot wait for or let go (join() or detach() fails) ends
// the run Failed, with an error text; the thread is let go or, failing that,
// kept for the life of the process, never destroyed while it may run.

// Starts a run on a thread of its own and returns at once. When it ends, the
// display step is handed to `post`, never called directly. Nothing waits for
// the run; a run abandoned through its handle still posts a Stopped outcome.
std::shared_ptr<RunHandle> StartSingleCoreRun(const RunRequest& request, PostToCaller post,
                                              DisplayStep display);
// N workers, each doing the full operation count, started back to back on
// threads of their own while a coordinator thread waits for them.
std::shared_ptr<RunHandle> StartMultiCoreRun(const RunRequest& request, unsigned workers,
                                             PostToCaller post, DisplayStep display);

// Blocking versions for headless callers; the outcome is returned instead of posted.
RunOutcome RunSingleCore(const RunRequest& request, const std::shared_ptr<RunHandle>& handle);
RunOutcome RunMultiCore(const RunRequest& request, unsigned workers,
                        const std::shared_ptr<RunHandle>& handle);

std::shared_ptr<RunHandle> MakeRunHandle(const RunRequest& request, unsigned workers);

} // namespace zentaro
