#include "cli.h"

#include "engine/callqueue.h"
#include "terminaltext.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
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

// Runs one benchmark, waiting on a call queue as a window waits on its event
// loop. Shows progress on a terminal once the run has lasted a second, and
// abandons the run at once when interrupted.
std::optional<RunOutcome> Drive(const Options& o, bool multi, const Environment& env,
                                std::ostream& err) {
    const RunRequest request{o.kind, o.operationCount(), env.clock};
    auto queue = CallQueue::Create();
    std::optional<RunOutcome> outcome;
    auto display = [&outcome](const RunOutcome& r) { outcome = r; };
    std::shared_ptr<RunHandle> handle =
        multi ? StartMultiCoreRun(request, env.threads, queue->poster(), display)
              : StartSingleCoreRun(request, queue->poster(), display);

    const bool showProgress =
        env.console && env.console->IsTerminal(platform::StandardStream::Error);
    const auto start = std::chrono::steady_clock::now();
    bool progressShown = false;
    while (!outcome) {
        if (InterruptStatus(env) != 0) {
            handle->requestStop();
            if (progressShown)
                err << "\n";
            return std::nullopt;
        }
        if (queue->runOne(std::chrono::milliseconds(100)))
            continue;
        if (showProgress && std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) {
            char line[96];
            std::snprintf(line, sizeof line, "\r%s run: %5.1f%%",
                          multi ? "Multi-core" : "Single-core", handle->progress() * 100.0);
            err << line << std::flush;
            progressShown = true;
        }
    }
    if (progressShown)
        err << "\r" << std::string(40, ' ') << "\r" << std::flush;
    return outcome;
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
    if (o.info) {
        const std::string report = o.json ? JsonReport(identity, env.machine, {}, false)
                                          : PlainMachineReport(identity, env.machine);
        return Emit(out, report, err) ? kExitOk : kExitFailure;
    }

    std::vector<RunOutcome> runs;
    if (!o.json && !Emit(out, PlainMachineReport(identity, env.machine) + "\n", err))
        return kExitFailure;
    for (bool multi : {false, true}) {
        if ((multi && !o.multi) || (!multi && !o.single))
            continue;
        const std::optional<RunOutcome> outcome = Drive(o, multi, env, err);
        if (!outcome)
            return Interrupted(env, err);
        if (!o.json && !Emit(out, PlainRunReport(*outcome, env.decimalSeparator), err))
            return kExitFailure;
        runs.push_back(*outcome);
    }
    if (InterruptStatus(env) != 0)
        return Interrupted(env, err);
    if (o.json && !Emit(out, JsonReport(identity, env.machine, runs), err))
        return kExitFailure;
    for (const RunOutcome& r : runs) {
        if (r.status != RunOutcome::Status::Completed && r.status != RunOutcome::Status::TooShort)
            return kExitFailure;
    }
    return kExitOk;
}

} // namespace zentaro::cli
