#include "cli.h"

#include "engine/callqueue.h"
#include "runwait.h"
#include "terminaltext.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <optional>
#include <ostream>

namespace zentaro::cli {

namespace {

int InterruptStatus(const Environment& env) {
    return env.console ? env.console->InterruptStatus() : 0;
}

// Writes and flushes at once, so that output that cannot be written (a full
// disk, a closed descriptor) is noticed here and not lost at exit.
bool Emit(std::ostream& out, const std::string& text, std::ostream& err) {
    errno = 0;
    out << text;
    out.flush();
    if (out)
        return true;
    const int reason = errno;
    err << "zentaro-cli: cannot write the output: "
        << TerminalText(reason != 0 ? std::strerror(reason) : "the output stream failed") << "\n"
        << std::flush;
    return false;
}

// How a run driven to its end came out.
struct Driven {
    std::optional<RunOutcome> outcome;
    bool interrupted = false; // abandoned at the user's request
    bool lost = false;        // no outcome within the longest wait for one
};

// Runs one benchmark, waiting on a call queue as a window waits on its event
// loop. Shows progress on a terminal once the run has lasted a second, and
// abandons the run at once when interrupted. A run whose outcome does not come
// within the longest time such a run can take has lost its thread (a fault
// of the system's thread library): it is abandoned too, rather than waited
// for forever.
Driven Drive(const Options& o, bool multi, unsigned workers, const std::string& label,
             const Environment& env, std::ostream& err) {
    const RunRequest request{o.kind, o.operationCount(), env.clock, {}};
    auto queue = CallQueue::Create();
    Driven driven;
    auto display = [&driven](const RunOutcome& r) { driven.outcome = r; };
    std::shared_ptr<RunHandle> handle;
    if (env.testing.startRun)
        handle = env.testing.startRun(request, multi, workers, queue->poster(), display);
    else if (multi)
        handle = StartMultiCoreRun(request, workers, queue->poster(), display);
    else
        handle = StartSingleCoreRun(request, queue->poster(), display);

    const MonotonicClock waitClock =
        env.testing.waitClock ? env.testing.waitClock : MonotonicClock(SteadyClockReading);
    const std::chrono::duration<double> longest(
        RunWaitSeconds(request.operationCount, multi ? workers : 1, env.threads));
    const bool showProgress =
        env.console && env.console->IsTerminal(platform::StandardStream::Error);
    const auto start = waitClock();
    bool progressShown = false;
    auto endProgress = [&] {
        if (progressShown)
            err << "\r" << std::string(40, ' ') << "\r" << std::flush;
    };
    while (!driven.outcome) {
        if (InterruptStatus(env) != 0) {
            handle->requestStop();
            if (progressShown)
                err << "\n";
            driven.interrupted = true;
            return driven;
        }
        if (queue->runOne(std::chrono::milliseconds(100)))
            continue;
        const auto waited = waitClock() - start;
        if (waited > longest) {
            handle->requestStop();
            endProgress();
            driven.lost = true;
            return driven;
        }
        if (showProgress && waited > std::chrono::seconds(1)) {
            char line[96];
            std::snprintf(line, sizeof line, "\r%s: %5.1f%%", label.c_str(),
                          handle->progress() * 100.0);
            err << line << std::flush;
            progressShown = true;
        }
    }
    endProgress();
    return driven;
}

// One kind of run of the plan: single-core, or multi-core on some workers.
struct Step {
    bool multi = false;
    unsigned workers = 1;
};

std::vector<Step> Plan(const Options& o, unsigned workers) {
    std::vector<Step> plan;
    if (o.scaling) {
        plan.push_back({false, 1});
        for (unsigned n : ScalingLadder(workers))
            plan.push_back({true, n});
        return plan;
    }
    if (o.single)
        plan.push_back({false, 1});
    if (o.multi)
        plan.push_back({true, workers});
    return plan;
}

// Summaries of the runs still to come, without figures: what a comparison
// will be able to pair.
std::vector<RunSummary> Planned(const Options& o, const std::vector<Step>& plan) {
    std::vector<RunSummary> planned;
    planned.reserve(plan.size());
    for (const Step& step : plan)
        planned.push_back({step.multi, o.kind, step.workers});
    return planned;
}

// The JSON output's facts beyond the machine's, read when the work begins.
JsonContext ReadJsonContext(const Environment& env) {
    JsonContext context;
    if (env.wallClock)
        context.startedUtc = UtcTimestamp(env.wallClock());
    if (env.system.os)
        context.os = env.system.os->Describe().productName;
    if (env.system.kernel)
        context.kernel = env.system.kernel->Release().value_or("");
    if (env.system.topology)
        context.physicalCores = env.system.topology->PhysicalCores();
    return context;
}

int Interrupted(const Environment& env, std::ostream& err) {
    err << "zentaro-cli: interrupted\n" << std::flush;
    return InterruptStatus(env);
}

} // namespace

int RunCommandLine(const std::vector<std::string>& args, const Environment& env, std::ostream& out,
                   std::ostream& err) {
    const ParseResult parsed = ParseArguments(args);
    if (!parsed.error.empty()) {
        err << "zentaro-cli: " << parsed.error << " (see --help)\n" << std::flush;
        return kExitUsage;
    }
    const Options& o = parsed.options;
    if (o.help)
        return Emit(out, UsageText(), err) ? kExitOk : kExitFailure;

    const unsigned workers = o.threads.value_or(env.threads);
    const std::vector<Step> plan = Plan(o, workers);
    // An earlier result that cannot serve is found out before anything runs;
    // a file that is no result is refused even where nothing runs (--info).
    std::optional<EarlierResult> earlier;
    if (o.compare && !o.version) {
        std::string why;
        earlier = LoadEarlierResult(*o.compare, why);
        if (earlier && !o.info && Compare(*earlier, Planned(o, plan)).empty())
            why = "it has no measured run of the same mode and test type as this one";
        if (!why.empty()) {
            err << "zentaro-cli: cannot compare with \""
                << TerminalText(*o.compare, kQuotedArgumentLength) << "\": " << TerminalText(why)
                << "\n"
                << std::flush;
            return kExitUsage;
        }
    }

    Identity identity;
    try {
        if (!env.identity)
            throw std::runtime_error("no reader for it");
        identity = env.identity();
    } catch (const std::exception& e) {
        err << "zentaro-cli: cannot read the version information: " << TerminalText(e.what())
            << "\n"
            << std::flush;
        return kExitFailure;
    }
    if (o.version) {
        const std::string line =
            TerminalText(identity.title) + " " + TerminalText(identity.version) + "\n";
        return Emit(out, line, err) ? kExitOk : kExitFailure;
    }

    if (!env.machine.error.empty())
        err << "zentaro-cli: cannot read the processor's name and speed: "
            << TerminalText(env.machine.error) << "\n"
            << std::flush;
    const JsonContext context = o.json ? ReadJsonContext(env) : JsonContext{};
    if (o.info) {
        const std::string report = o.json ? JsonReport(identity, env.machine, context, nullptr)
                                          : PlainMachineReport(identity, env.machine);
        return Emit(out, report, err) ? kExitOk : kExitFailure;
    }

    if (!o.json && !Emit(out, PlainMachineReport(identity, env.machine) + "\n", err))
        return kExitFailure;

    // The machine's state, unless nobody would see it.
    const bool checkReadiness = o.json || !o.quiet;
    ReadinessFacts facts;
    std::map<unsigned, std::uint64_t> throttleBefore;
    if (checkReadiness) {
        unsigned mostWorkers = 0;
        for (const Step& step : plan)
            mostWorkers = step.multi ? std::max(mostWorkers, step.workers) : mostWorkers;
        facts = CheckBeforeRuns(env.readiness, mostWorkers, env.threads);
        if (InterruptStatus(env) != 0)
            return Interrupted(env, err);
        const std::string lines = PlainWarnings(Warnings(facts, env.decimalSeparator));
        if (!o.json && !lines.empty() && !Emit(out, lines + "\n", err))
            return kExitFailure;
        throttleBefore = ThrottleCounts(env.readiness);
    }

    Results results;
    for (const Step& step : plan) {
        for (unsigned i = 1; i <= o.repeat; ++i) {
            const std::string label = RunTitle(step.multi, i, o.repeat);
            const Driven driven = Drive(o, step.multi, step.workers, label, env, err);
            if (driven.interrupted)
                return Interrupted(env, err);
            if (driven.lost) {
                err << "zentaro-cli: the " << (step.multi ? "multi" : "single")
                    << "-core run gave no result in the longest time it can take; its thread "
                       "was lost\n"
                    << std::flush;
                return kExitFailure;
            }
            const std::optional<RunOutcome>& outcome = driven.outcome;
            if (!o.json &&
                !Emit(out, PlainRunReport(*outcome, env.decimalSeparator, i, o.repeat), err))
                return kExitFailure;
            results.runs.push_back(*outcome);
        }
    }
    if (InterruptStatus(env) != 0)
        return Interrupted(env, err);

    results.summary = Summarise(results.runs);
    if (o.scaling)
        results.scaling = Scaling(results.summary);
    if (earlier)
        results.comparison = Compare(*earlier, results.summary);
    std::vector<Warning> afterRuns;
    if (checkReadiness) {
        facts.throttledProcessors =
            ThrottledProcessors(throttleBefore, ThrottleCounts(env.readiness));
        ReadinessFacts throttling;
        throttling.throttledProcessors = facts.throttledProcessors;
        afterRuns = Warnings(throttling, env.decimalSeparator);
    }
    if (o.json) {
        results.warnings = Warnings(facts, ".");
        if (!Emit(out, JsonReport(identity, env.machine, context, &results), err))
            return kExitFailure;
    } else {
        std::string text;
        if (o.repeat > 1)
            text += "\n" + PlainSummaryReport(results.summary, env.decimalSeparator);
        if (results.scaling)
            text += "\n" + PlainScalingReport(o.kind, *results.scaling, env.decimalSeparator);
        if (results.comparison)
            text +=
                "\n" + PlainComparisonReport(*o.compare, *results.comparison, env.decimalSeparator);
        if (!afterRuns.empty())
            text += "\n" + PlainWarnings(afterRuns);
        if (!text.empty() && !Emit(out, text, err))
            return kExitFailure;
    }
    for (const RunOutcome& r : results.runs) {
        if (r.status != RunOutcome::Status::Completed && r.status != RunOutcome::Status::TooShort)
            return kExitFailure;
    }
    return kExitOk;
}

} // namespace zentaro::cli
