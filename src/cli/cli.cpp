#include "cli.h"

#include "engine/rating.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace zentaro::cli {

namespace {

bool ParseUnsigned(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.front() == '+' || text.front() == '-')
        return false;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

std::string JsonNumber(double v) {
    if (!std::isfinite(v))
        return "null";
    char buffer[64];
    auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return ec == std::errc() ? std::string(buffer, ptr) : "null";
}

std::string Hex64(std::uint64_t v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%016llx", static_cast<unsigned long long>(v));
    return buffer;
}

} // namespace

std::string UsageText() {
    return "Usage: zentaro-cli [--type NAME] [--length N | --operations N] [--single | --multi | "
           "--both] [--json]\n"
           "       zentaro-cli --info | --help | --version\n"
           "\n"
           "  --type NAME       Default, \"Integer Arithmetic\", \"Floating Point Arithmetic\",\n"
           "                    Trigonometric, \"Branch Prediction and Control\" or \"Bitwise "
           "Logic\"\n"
           "                    (any letter case; default: Default)\n"
           "  --length N        test length 1 to 99999, each unit 100,000,000 operations "
           "(default 1)\n"
           "  --operations N    an exact operation count of at least 1, for quick checks\n"
           "  --single          single-core run only\n"
           "  --multi           multi-core run only (one worker per logical processor)\n"
           "  --both            both runs, single-core first (default)\n"
           "  --json            print one JSON object instead of text\n"
           "  --info            print the machine facts only\n"
           "  --help            print this text\n"
           "  --version         print the product and version\n";
}

ParseResult ParseArguments(const std::vector<std::string>& args) {
    ParseResult r;
    Options& o = r.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) -> bool {
            if (i + 1 >= args.size()) {
                r.error = "missing value for " + a;
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--type") {
            if (!value(v))
                return r;
            const auto kind = WorkloadForName(v);
            if (!kind) {
                r.error = "unknown test type: " + v;
                return r;
            }
            o.kind = *kind;
        } else if (a == "--length") {
            if (!value(v))
                return r;
            std::uint64_t n = 0;
            if (!ParseUnsigned(v, n) || n < kMinTestLength || n > kMaxTestLength) {
                r.error = "test length must be a whole number from 1 to 99999: " + v;
                return r;
            }
            o.length = static_cast<int>(n);
        } else if (a == "--operations") {
            if (!value(v))
                return r;
            std::uint64_t n = 0;
            if (!ParseUnsigned(v, n) || n < 1) {
                r.error = "operation count must be a whole number of at least 1: " + v;
                return r;
            }
            o.operations = n;
        } else if (a == "--single") {
            o.single = true;
            o.multi = false;
        } else if (a == "--multi") {
            o.single = false;
            o.multi = true;
        } else if (a == "--both") {
            o.single = o.multi = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--info") {
            o.info = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else {
            r.error = "unknown argument: " + a;
            return r;
        }
    }
    return r;
}

std::string FormatFixed2(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    return buffer;
}

std::string ElapsedText(const RunOutcome& outcome) {
    return FormatFixed2(outcome.elapsedSeconds) + " sec";
}

std::string SpeedText(const RunOutcome& outcome) {
    return FormatFixed2(outcome.score / 1'000'000.0) + " million ops/sec";
}

std::string PlainRunReport(const RunOutcome& outcome) {
    std::ostringstream out;
    const char* caption = outcome.multiCore ? "Multi-Core:" : "Single-Core:";
    const auto kind = WorkloadForTestType(outcome.testType);
    out << (outcome.multiCore ? "Multi-core run" : "Single-core run") << " ("
        << (kind ? WorkloadDisplayName(*kind) : std::string_view(outcome.testType)) << ", "
        << outcome.operationCount << " operations"
        << (outcome.multiCore ? " x " + std::to_string(outcome.threads) + " threads" : "") << ")\n";
    switch (outcome.status) {
    case RunOutcome::Status::Completed:
        out << "  Elapsed Time: " << ElapsedText(outcome) << "\n"
            << "  " << caption << " " << SpeedText(outcome) << "\n"
            << "  Rating: " << RatingWord(outcome.ratingValue()) << "\n";
        break;
    case RunOutcome::Status::TooShort:
        out << "  Elapsed Time: " << ElapsedText(outcome) << "\n"
            << "  " << caption << " too short to measure (under one millisecond)\n";
        break;
    case RunOutcome::Status::Stopped:
        out << "  stopped before the end\n";
        break;
    case RunOutcome::Status::Failed:
        out << "  failed: " << (outcome.error.empty() ? "unknown error" : outcome.error) << "\n";
        break;
    }
    return out.str();
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string PlainMachineReport(const Identity& identity, const sysinfo::MachineFacts& m) {
    std::ostringstream out;
    out << identity.title << " " << identity.version << "\n"
        << "CPU Name: " << m.cpuName << "\n"
        << "Architecture: " << m.architecture << "\n"
        << "Threads: " << m.threads << "\n"
        << "Base Speed: " << m.baseSpeed << "\n"
        << "Current Speed: " << m.currentSpeed << "\n";
    return out.str();
}

std::string JsonReport(const Identity& identity, const sysinfo::MachineFacts& m,
                       const std::vector<RunOutcome>& runs, bool withRuns) {
    std::ostringstream out;
    out << "{\"product\": " << JsonString(identity.product)
        << ", \"version\": " << JsonString(identity.version)
        << ", \"machine\": {\"cpu_name\": " << JsonString(m.cpuName)
        << ", \"architecture\": " << JsonString(m.architecture) << ", \"threads\": " << m.threads
        << ", \"base_speed\": " << JsonString(m.baseSpeed)
        << ", \"current_speed\": " << JsonString(m.currentSpeed) << "}";
    if (!withRuns) {
        out << "}\n";
        return out.str();
    }
    out << ", \"runs\": [";
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const RunOutcome& o = runs[r];
        const auto kind = WorkloadForTestType(o.testType);
        const bool measured = o.hasResult();
        out << (r ? ", " : "") << "{\"mode\": " << (o.multiCore ? "\"multi\"" : "\"single\"")
            << ", \"test_type\": "
            << JsonString(std::string(kind ? WorkloadDisplayName(*kind) : o.testType))
            << ", \"operations\": " << o.operationCount << ", \"threads\": " << o.threads
            << ", \"elapsed_seconds\": " << JsonNumber(o.elapsedSeconds)
            << ", \"ops_per_second\": " << (measured ? JsonNumber(o.score) : "null")
            << ", \"rating\": "
            << (measured ? JsonString(std::string(RatingWord(o.ratingValue()))) : "null")
            << ", \"results\": [";
        for (std::size_t i = 0; i < o.results.size(); ++i)
            out << (i ? ", " : "") << '"' << Hex64(o.results[i]) << '"';
        out << "]}";
    }
    out << "]}\n";
    return out.str();
}

} // namespace zentaro::cli

#include "engine/callqueue.h"

#include <chrono>
#include <ostream>

namespace zentaro::cli {

namespace {

// Runs one benchmark, waiting on a call queue as a window waits on its event
// loop. Shows progress on a terminal once the run has lasted a second, and
// abandons the run at once when interrupted.
std::optional<RunOutcome> Drive(const Options& o, bool multi, const Environment& env,
                                std::ostream& err) {
    RunRequest request{std::string(TestTypeValue(o.kind)), o.operationCount()};
    auto queue = CallQueue::Create();
    std::optional<RunOutcome> outcome;
    auto display = [&outcome](const RunOutcome& r) { outcome = r; };
    std::shared_ptr<RunHandle> handle =
        multi ? StartMultiCoreRun(request, env.threads, queue->poster(), display)
              : StartSingleCoreRun(request, queue->poster(), display);

    const auto start = std::chrono::steady_clock::now();
    bool progressShown = false;
    while (!outcome) {
        if (env.interrupted && env.interrupted->load()) {
            handle->requestStop();
            if (progressShown)
                err << "\n";
            return std::nullopt;
        }
        if (queue->runOne(std::chrono::milliseconds(100)))
            continue;
        if (env.progressOnTerminal &&
            std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) {
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

} // namespace

int RunCommandLine(const std::vector<std::string>& args, const Environment& env, std::ostream& out,
                   std::ostream& err) {
    const ParseResult parsed = ParseArguments(args);
    if (!parsed.error.empty()) {
        err << "zentaro-cli: " << parsed.error << " (see --help)\n";
        return kExitUsage;
    }
    const Options& o = parsed.options;
    if (o.help) {
        out << UsageText();
        return kExitOk;
    }
    if (o.version) {
        out << env.identity.title << " " << env.identity.version << "\n";
        return kExitOk;
    }

    if (!env.machine.error.empty())
        err << "zentaro-cli: cannot read the processor's name and speed: " << env.machine.error
            << "\n";
    if (o.info) {
        out << (o.json ? JsonReport(env.identity, env.machine, {}, false)
                       : PlainMachineReport(env.identity, env.machine));
        return kExitOk;
    }

    std::vector<RunOutcome> runs;
    if (!o.json)
        out << PlainMachineReport(env.identity, env.machine) << "\n" << std::flush;
    for (bool multi : {false, true}) {
        if ((multi && !o.multi) || (!multi && !o.single))
            continue;
        const std::optional<RunOutcome> outcome = Drive(o, multi, env, err);
        if (!outcome) {
            err << "zentaro-cli: interrupted\n";
            return kExitInterrupted;
        }
        if (!o.json)
            out << PlainRunReport(*outcome) << std::flush;
        runs.push_back(*outcome);
    }
    if (o.json)
        out << JsonReport(env.identity, env.machine, runs);
    for (const RunOutcome& r : runs) {
        if (r.status == RunOutcome::Status::Failed)
            return kExitFailure;
    }
    return kExitOk;
}

} // namespace zentaro::cli
