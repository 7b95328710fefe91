#include "run.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace zentaro {

std::chrono::nanoseconds SteadyClockReading() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

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
    const std::uint64_t iterations =
        IterationsFor(request.kind, request.operationCount).value_or(0);
    return std::make_shared<RunHandle>(workers, iterations);
}

namespace {

void Join(const RunThreadOperations& operations, std::thread& thread) {
    if (operations.join)
        operations.join(thread);
    else
        thread.join();
}

void Detach(const RunThreadOperations& operations, std::thread& thread) {
    if (operations.detach)
        operations.detach(thread);
    else
        thread.detach();
}

// Runs a step of the thread library; returns why it failed, empty when it did not.
template <typename Step> std::string Attempt(Step step) {
    try {
        step();
        return {};
    } catch (const std::exception& e) {
        return *e.what() ? e.what() : "unknown failure";
    } catch (...) {
        return "unknown failure";
    }
}

// A thread that may still run must never be destroyed (that ends the
// process): it is detached, or, when even that fails, kept where nothing
// destroys it until the process ends.
void LetGo(const RunThreadOperations& operations, std::thread& thread) {
    Attempt([&] { Detach(operations, thread); });
    if (!thread.joinable())
        return;
    static std::mutex lock;
    static auto* const kept = new std::vector<std::thread>; // never freed, on purpose
    const std::lock_guard guard(lock);
    kept->push_back(std::move(thread));
}

} // namespace

class RunExecutor {
public:
    static void MarkFinished(RunHandle& handle) {
        handle.finished_.store(true, std::memory_order_release);
    }

    static WorkloadControl ControlFor(RunHandle& handle, unsigned worker) {
        return WorkloadControl{&handle.stop_, &handle.done_[worker]};
    }

    static std::chrono::nanoseconds Read(const MonotonicClock& clock) {
        return clock ? clock() : SteadyClockReading();
    }

    // The outcome's fixed fields, before anything is checked or run.
    static RunOutcome Frame(const RunRequest& request, unsigned workers, bool multiCore) {
        RunOutcome outcome;
        outcome.multiCore = multiCore;
        outcome.kind = request.kind;
        outcome.operationCount = request.operationCount;
        outcome.threads = workers;
        return outcome;
    }

    // Why a request cannot run; empty when it can. iterations: the request's
    // loop iterations per worker, empty when they do not fit 64 bits.
    static std::string Refusal(const RunRequest& request, unsigned workers, const RunHandle& handle,
                               const std::optional<std::uint64_t>& iterations) {
        if (workers == 0)
            return "a run needs at least one worker";
        if (handle.workers_ < workers)
            return "run handle made for fewer workers";
        if (std::find(kAllWorkloads.begin(), kAllWorkloads.end(), request.kind) ==
            kAllWorkloads.end())
            return "unknown test type";
        if (!iterations)
            return "operation count too large: the loop iterations do not fit 64 bits";
        if (request.operationCount > std::numeric_limits<std::uint64_t>::max() / workers)
            return "operation count too large: the operations of all workers do not fit 64 bits";
        return {};
    }

    // Elapsed time and score, guarded so that a 0 ms run never yields inf or nan.
    static void Finish(RunOutcome& outcome, std::chrono::nanoseconds elapsed) {
        // Whole milliseconds, truncated.
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
    // `timed` runs the workers for the given loop iterations each, fills in
    // their results, measures the span and says whether every worker ran to
    // the end.
    template <typename Timed>
    static RunOutcome Guarded(const RunRequest& request, unsigned workers, bool multiCore,
                              RunHandle& handle, Timed timed) {
        RunOutcome outcome = Frame(request, workers, multiCore);
        try {
            // Computed once: what is checked here is what the loops run.
            const std::optional<std::uint64_t> iterations =
                IterationsFor(request.kind, request.operationCount);
            outcome.error = Refusal(request, workers, handle, iterations);
            if (outcome.error.empty()) {
                outcome.totalOperations = request.operationCount * workers;
                outcome.results.assign(workers, std::nullopt);
                std::chrono::nanoseconds elapsed{};
                if (timed(outcome, *iterations, elapsed))
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
        if (outcome.status == RunOutcome::Status::Failed && outcome.error.empty())
            outcome.error = "unknown failure";
        MarkFinished(handle);
        return outcome;
    }

    static RunOutcome Single(const RunRequest& request, RunHandle& handle) {
        return Guarded(
            request, 1, false, handle,
            [&](RunOutcome& outcome, std::uint64_t n, std::chrono::nanoseconds& elapsed) {
                const WorkloadControl control = ControlFor(handle, 0);
                std::uint64_t result = 0;
                // Only the workload lies inside the timed span.
                const auto start = Read(request.clock);
                const bool ran = RunWorkloadOf(request.kind, n, result, control);
                elapsed = Read(request.clock) - start;
                if (ran)
                    outcome.results[0] = result;
                return ran;
            });
    }

    static RunOutcome Multi(const RunRequest& request, unsigned workers,
                            const std::shared_ptr<RunHandle>& handle) {
        return Guarded(
            request, workers, true, *handle,
            [&](RunOutcome& outcome, std::uint64_t n, std::chrono::nanoseconds& elapsed) {
                // What the workers touch they own with the coordinator, so that
                // one it cannot wait for may go on safely after the run ended.
                // Each worker writes only its own slot; join() orders those
                // writes before the coordinator reads them.
                auto slots = std::make_shared<std::vector<std::optional<std::uint64_t>>>(workers);
                std::vector<std::thread> threads;
                threads.reserve(workers);
                // The span covers starting every worker and waiting for the slowest.
                const auto start = Read(request.clock);
                try {
                    for (unsigned i = 0; i < workers; ++i) {
                        threads.emplace_back([kind = request.kind, n, handle, slots, i] {
                            std::uint64_t result = 0;
                            if (RunWorkloadOf(kind, n, result, ControlFor(*handle, i)))
                                (*slots)[i] = result;
                        });
                    }
                } catch (...) {
                    // Could not start every worker: stop those that did start.
                    handle->requestStop();
                    JoinAll(request.threadOperations, threads, *handle);
                    throw;
                }
                const std::string failure = JoinAll(request.threadOperations, threads, *handle);
                if (!failure.empty())
                    throw std::runtime_error(failure);
                elapsed = Read(request.clock) - start;
                outcome.results = *slots;
                for (const auto& result : outcome.results) {
                    if (!result)
                        return false;
                }
                return true;
            });
    }

    // Waits for every thread. One that cannot be waited for is let go (the
    // others are told to stop, so the run ends soon); returns what went wrong
    // first, empty when every thread was joined.
    static std::string JoinAll(const RunThreadOperations& operations,
                               std::vector<std::thread>& threads, RunHandle& handle) {
        std::string failure;
        for (std::size_t i = 0; i < threads.size(); ++i) {
            std::thread& thread = threads[i];
            if (!thread.joinable())
                continue;
            const std::string why = Attempt([&] { Join(operations, thread); });
            if (!thread.joinable())
                continue;
            if (failure.empty())
                failure = "cannot wait for worker " + std::to_string(i + 1) + ": " + why;
            handle.requestStop();
            LetGo(operations, thread);
        }
        return failure;
    }

    // No thread could be started for the run: it still ends, without a result.
    static RunOutcome NotStarted(const RunRequest& request, unsigned workers, bool multiCore,
                                 RunHandle& handle, const char* why) {
        RunOutcome outcome = Frame(request, workers, multiCore);
        outcome.status = RunOutcome::Status::Failed;
        outcome.error = why;
        MarkFinished(handle);
        return outcome;
    }
};

namespace {

// Starts `body` on a detached thread that owns everything it touches, so the
// caller may go away (or the process end) while it runs.
std::shared_ptr<RunHandle>
Launch(std::shared_ptr<RunHandle> handle, const RunThreadOperations& operations, PostToCaller post,
       DisplayStep display, std::function<RunOutcome(const std::shared_ptr<RunHandle>&)> body,
       const std::function<RunOutcome(RunHandle&, const char*)>& notStarted) {
    // Hands the display step to the caller's thread; never runs it here.
    auto deliver = [post = std::move(post), display = std::move(display)](RunOutcome outcome) {
        if (post)
            post([display, outcome = std::move(outcome)]() {
                if (display)
                    display(outcome);
            });
    };
    // The thread starts its work only once it has been let go; when that
    // fails, it ends the run as failed instead, and the caller waits for that.
    struct Gate {
        std::mutex lock;
        std::condition_variable opened;
        bool open = false;
        std::string failure;
    };
    auto gate = std::make_shared<Gate>();
    std::thread thread;
    try {
        thread = std::thread([handle, deliver, gate, notStarted, body = std::move(body)]() {
            std::unique_lock lock(gate->lock);
            gate->opened.wait(lock, [&] { return gate->open; });
            const std::string failure = gate->failure;
            lock.unlock();
            deliver(failure.empty() ? body(handle) : notStarted(*handle, failure.c_str()));
        });
    } catch (const std::exception& e) {
        deliver(notStarted(*handle, e.what()));
        return handle;
    }
    const std::string why = Attempt([&] { Detach(operations, thread); });
    {
        const std::lock_guard lock(gate->lock);
        if (thread.joinable())
            gate->failure = "cannot let the run's thread go: " + why;
        gate->open = true;
    }
    gate->opened.notify_one();
    if (thread.joinable()) {
        Attempt([&] { Join(operations, thread); }); // it only posts the failure
        if (thread.joinable())
            LetGo(operations, thread);
    }
    return handle;
}

} // namespace

std::shared_ptr<RunHandle> StartSingleCoreRun(const RunRequest& request, PostToCaller post,
                                              DisplayStep display) {
    auto handle = MakeRunHandle(request, 1);
    return Launch(
        handle, request.threadOperations, std::move(post), std::move(display),
        [request](const std::shared_ptr<RunHandle>& h) { return RunExecutor::Single(request, *h); },
        [request](RunHandle& h, const char* why) {
            return RunExecutor::NotStarted(request, 1, false, h, why);
        });
}

std::shared_ptr<RunHandle> StartMultiCoreRun(const RunRequest& request, unsigned workers,
                                             PostToCaller post, DisplayStep display) {
    auto handle = MakeRunHandle(request, workers);
    return Launch(
        handle, request.threadOperations, std::move(post), std::move(display),
        [request, workers](const std::shared_ptr<RunHandle>& h) {
            return RunExecutor::Multi(request, workers, h);
        },
        [request, workers](RunHandle& h, const char* why) {
            return RunExecutor::NotStarted(request, workers, true, h, why);
        });
}

RunOutcome RunSingleCore(const RunRequest& request, const std::shared_ptr<RunHandle>& handle) {
    return RunExecutor::Single(request, *handle);
}

RunOutcome RunMultiCore(const RunRequest& request, unsigned workers,
                        const std::shared_ptr<RunHandle>& handle) {
    return RunExecutor::Multi(request, workers, handle);
}

} // namespace zentaro
