#include "run.h"

#include <chrono>
#include <exception>
#include <thread>

namespace zentaro {

double RunOutcome::ratingValue() const {
    return multiCore ? MultiCoreRatingValue(score) : SingleCoreRatingValue(score);
}

double ElapsedSecondsFromMilliseconds(std::uint64_t milliseconds) {
    return static_cast<double>(milliseconds) / 1000.0;
}

double SingleCoreRatingValue(double score) {
    return score / 1'000'000.0 * 15.0;
}

// Ten times the divisor of the single-core scale: the same words demand ten
// times the speed.
double MultiCoreRatingValue(double score) {
    return score / 10'000'000.0 * 15.0;
}

RunHandle::RunHandle(unsigned workers, std::uint64_t iterationsPerWorker)
    : iterationsPerWorker_(iterationsPerWorker),
      done_(std::make_unique<std::atomic<std::uint64_t>[]>(workers)), workers_(workers) {
    for (unsigned i = 0; i < workers; ++i)
        done_[i].store(0, std::memory_order_relaxed);
}

double RunHandle::progress() const {
    if (iterationsPerWorker_ == 0 || workers_ == 0)
        return finished() ? 1.0 : 0.0;
    double sum = 0.0;
    for (unsigned i = 0; i < workers_; ++i)
        sum += static_cast<double>(done_[i].load(std::memory_order_relaxed));
    return sum / (static_cast<double>(iterationsPerWorker_) * workers_);
}

std::shared_ptr<RunHandle> MakeRunHandle(const RunRequest& request, unsigned workers) {
    const auto kind = WorkloadForTestType(request.testType);
    const std::uint64_t iterations = kind ? IterationsFor(*kind, request.operationCount) : 0;
    return std::make_shared<RunHandle>(workers == 0 ? 1 : workers, iterations);
}

class RunExecutor {
public:
    using Clock = std::chrono::steady_clock;

    static void MarkFinished(RunHandle& handle) {
        handle.finished_.store(true, std::memory_order_release);
    }

    static bool HasSlots(const RunHandle& handle, unsigned workers) {
        return handle.workers_ >= workers;
    }

    static WorkloadControl ControlFor(RunHandle& handle, unsigned worker) {
        return WorkloadControl{&handle.stop_, &handle.done_[worker]};
    }

    // Elapsed time and score, guarded so that a 0 ms run never yields inf or nan.
    static void Finish(RunOutcome& outcome, Clock::duration elapsed) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
        outcome.elapsedMilliseconds = ms > 0 ? static_cast<std::uint64_t>(ms) : 0;
        outcome.elapsedSeconds = ElapsedSecondsFromMilliseconds(outcome.elapsedMilliseconds);
        if (outcome.elapsedMilliseconds == 0) {
            outcome.status = RunOutcome::Status::TooShort;
            return;
        }
        outcome.score = static_cast<double>(outcome.totalOperations) / outcome.elapsedSeconds;
        outcome.status = RunOutcome::Status::Completed;
    }

    // The common frame of both runs: the outcome's fixed fields, the checks
    // before any work starts, and a fault anywhere ending the run as Failed.
    // `timed` runs the workers, sets the elapsed time and says whether every
    // worker ran to the end.
    template <typename Timed>
    static RunOutcome Guarded(const RunRequest& request, unsigned workers, bool multiCore,
                              RunHandle& handle, Timed timed) {
        RunOutcome outcome;
        outcome.multiCore = multiCore;
        outcome.testType = request.testType;
        outcome.operationCount = request.operationCount;
        outcome.threads = workers;
        outcome.totalOperations = request.operationCount * workers;
        try {
            outcome.results.assign(workers, 0);
            if (!WorkloadForTestType(request.testType)) {
                outcome.error = "unknown test type";
                outcome.status = RunOutcome::Status::Failed;
            } else if (!HasSlots(handle, workers)) {
                outcome.error = "run handle made for fewer workers";
                outcome.status = RunOutcome::Status::Failed;
            } else {
                Clock::duration elapsed{};
                if (timed(outcome, elapsed))
                    Finish(outcome, elapsed);
                else
                    outcome.status = RunOutcome::Status::Stopped;
            }
        } catch (const std::exception& e) {
            outcome.status = RunOutcome::Status::Failed;
            outcome.error = e.what();
        } catch (...) {
            outcome.status = RunOutcome::Status::Failed;
            outcome.error = "unknown failure";
        }
        MarkFinished(handle);
        return outcome;
    }

    static RunOutcome Single(const RunRequest& request, RunHandle& handle) {
        return Guarded(request, 1, false, handle,
                       [&](RunOutcome& outcome, Clock::duration& elapsed) {
                           const WorkloadControl control = ControlFor(handle, 0);
                           // Only the workload lies inside the timed span.
                           const auto start = Clock::now();
                           const bool ran = RunWorkload(request.testType, request.operationCount,
                                                        outcome.results[0], control);
                           elapsed = Clock::now() - start;
                           return ran;
                       });
    }

    static RunOutcome Multi(const RunRequest& request, unsigned workers, RunHandle& handle) {
        return Guarded(
            request, workers, true, handle, [&](RunOutcome& outcome, Clock::duration& elapsed) {
                // Each worker writes only its own slot and flag; join() orders
                // those writes before the coordinator reads them.
                std::unique_ptr<bool[]> ran(new bool[workers]());
                std::vector<std::thread> threads;
                threads.reserve(workers);
                // The span covers starting every worker and waiting for the slowest.
                const auto start = Clock::now();
                try {
                    for (unsigned i = 0; i < workers; ++i) {
                        threads.emplace_back([&, i] {
                            ran[i] = RunWorkload(request.testType, request.operationCount,
                                                 outcome.results[i], ControlFor(handle, i));
                        });
                    }
                } catch (...) {
                    // Could not start every worker: stop those that did start.
                    handle.requestStop();
                    for (auto& t : threads)
                        t.join();
                    throw;
                }
                for (auto& t : threads)
                    t.join();
                elapsed = Clock::now() - start;
                bool all = true;
                for (unsigned i = 0; i < workers; ++i)
                    all = all && ran[i];
                return all;
            });
    }
};

namespace {

// Starts `body` on a detached thread that owns everything it touches, so the
// caller may go away (or the process end) while it runs.
std::shared_ptr<RunHandle> Launch(std::shared_ptr<RunHandle> handle, PostToCaller post,
                                  DisplayStep display, std::function<RunOutcome(RunHandle&)> body) {
    // Hands the display step to the caller's thread; never runs it here.
    auto deliver = [post = std::move(post), display = std::move(display)](RunOutcome outcome) {
        if (post)
            post([display, outcome = std::move(outcome)]() {
                if (display)
                    display(outcome);
            });
    };
    try {
        std::thread([handle, deliver, body = std::move(body)]() {
            deliver(body(*handle));
        }).detach();
    } catch (const std::exception& e) {
        // No thread could be started: the run still ends, without a result.
        RunOutcome outcome;
        outcome.status = RunOutcome::Status::Failed;
        outcome.error = e.what();
        RunExecutor::MarkFinished(*handle);
        deliver(std::move(outcome));
    }
    return handle;
}

} // namespace

std::shared_ptr<RunHandle> StartSingleCoreRun(const RunRequest& request, PostToCaller post,
                                              DisplayStep display) {
    auto handle = MakeRunHandle(request, 1);
    return Launch(handle, std::move(post), std::move(display),
                  [request](RunHandle& h) { return RunExecutor::Single(request, h); });
}

std::shared_ptr<RunHandle> StartMultiCoreRun(const RunRequest& request, unsigned workers,
                                             PostToCaller post, DisplayStep display) {
    if (workers == 0)
        workers = 1;
    auto handle = MakeRunHandle(request, workers);
    return Launch(handle, std::move(post), std::move(display), [request, workers](RunHandle& h) {
        return RunExecutor::Multi(request, workers, h);
    });
}

RunOutcome RunSingleCore(const RunRequest& request, const std::shared_ptr<RunHandle>& handle) {
    return RunExecutor::Single(request, *handle);
}

RunOutcome RunMultiCore(const RunRequest& request, unsigned workers,
                        const std::shared_ptr<RunHandle>& handle) {
    return RunExecutor::Multi(request, workers == 0 ? 1 : workers, *handle);
}

} // namespace zentaro
