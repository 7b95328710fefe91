#include "report.h"

#include "engine/rating.h"
#include "engine/resulttext.h"
#include "terminaltext.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

namespace zentaro::cli {

namespace {

std::string Hex64(std::uint64_t v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%016llx", static_cast<unsigned long long>(v));
    return buffer;
}

std::string TypeName(WorkloadKind kind) {
    const std::string_view name = WorkloadDisplayName(kind);
    return name.empty() ? std::string("unknown") : std::string(name);
}

std::string Millions(double opsPerSecond, std::string_view decimalSeparator) {
    return FixedText(opsPerSecond / 1'000'000.0, 2, decimalSeparator);
}

std::string Percent(double fraction, std::string_view decimalSeparator, bool sign = false) {
    const std::string text = FixedText(fraction * 100.0, 2, decimalSeparator) + " %";
    return sign && fraction >= 0 ? "+" + text : text;
}

std::string Threads(unsigned n) {
    return std::to_string(n) + (n == 1 ? " thread" : " threads");
}

using Json = nlohmann::ordered_json;

template <typename T> Json Optional(const std::optional<T>& value) {
    return value ? Json(*value) : Json(nullptr);
}

Json TextOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

Json RunJson(const RunOutcome& o) {
    const bool timed =
        o.status == RunOutcome::Status::Completed || o.status == RunOutcome::Status::TooShort;
    const bool measured = o.hasResult();
    Json run;
    run["mode"] = o.multiCore ? "multi" : "single";
    run["test_type"] = TypeName(o.kind);
    run["status"] = std::string(StatusName(o.status));
    if (!o.error.empty())
        run["error"] = o.error;
    run["operations"] = o.operationCount;
    run["threads"] = o.threads;
    run["elapsed_seconds"] = timed ? Json(o.elapsedSeconds) : Json(nullptr);
    run["ops_per_second"] = measured ? Json(o.score) : Json(nullptr);
    run["rating"] = measured ? Json(std::string(RatingWord(o.ratingValue()))) : Json(nullptr);
    Json results = Json::array();
    for (const auto& result : o.results)
        results.push_back(result ? Json(Hex64(*result)) : Json(nullptr));
    run["results"] = std::move(results);
    return run;
}

Json SummaryJson(const RunSummary& s) {
    Json j;
    j["mode"] = s.multiCore ? "multi" : "single";
    j["test_type"] = TypeName(s.kind);
    j["threads"] = s.threads;
    j["repeats"] = s.repeats;
    j["measured"] = s.measured;
    j["median_ops_per_second"] = Optional(s.median);
    j["min_ops_per_second"] = Optional(s.minimum);
    j["max_ops_per_second"] = Optional(s.maximum);
    j["spread"] = Optional(s.spread);
    const auto rating = s.ratingValue();
    j["rating"] = rating ? Json(std::string(RatingWord(*rating))) : Json(nullptr);
    return j;
}

} // namespace

std::string_view StatusName(RunOutcome::Status status) {
    switch (status) {
    case RunOutcome::Status::Completed:
        return "completed";
    case RunOutcome::Status::TooShort:
        return "too_short";
    case RunOutcome::Status::Stopped:
        return "stopped";
    case RunOutcome::Status::Failed:
        return "failed";
    }
    return "failed";
}

std::string RunTitle(bool multiCore, std::size_t number, std::size_t of) {
    std::string title = multiCore ? "Multi-core run" : "Single-core run";
    if (of > 1)
        title += " " + std::to_string(number) + " of " + std::to_string(of);
    return title;
}

std::string PlainRunReport(const RunOutcome& outcome, std::string_view decimalSeparator,
                           std::size_t number, std::size_t of) {
    std::ostringstream out;
    const char* caption = outcome.multiCore ? "Multi-Core:" : "Single-Core:";
    out << RunTitle(outcome.multiCore, number, of) << " (" << TypeName(outcome.kind) << ", "
        << outcome.operationCount << " operations"
        << (outcome.multiCore ? " x " + Threads(outcome.threads) : "") << ")\n";
    switch (outcome.status) {
    case RunOutcome::Status::Completed:
        out << "  Elapsed Time: " << ElapsedText(outcome.elapsedSeconds, decimalSeparator) << "\n"
            << "  " << caption << " " << SpeedText(outcome.score, decimalSeparator) << "\n"
            << "  Rating: " << RatingWord(outcome.ratingValue()) << "\n";
        break;
    case RunOutcome::Status::TooShort:
        out << "  Elapsed Time: " << ElapsedText(outcome.elapsedSeconds, decimalSeparator) << "\n"
            << "  " << caption << " too short to measure (under one millisecond)\n";
        break;
    case RunOutcome::Status::Stopped:
        out << "  stopped before the end\n";
        break;
    case RunOutcome::Status::Failed:
        out << "  failed: " << TerminalText(outcome.error.empty() ? "unknown error" : outcome.error)
            << "\n";
        break;
    }
    return out.str();
}

std::string PlainMachineReport(const Identity& identity, const sysinfo::MachineFacts& m) {
    std::ostringstream out;
    out << TerminalText(identity.title) << " " << TerminalText(identity.version) << "\n"
        << "CPU Name: " << TerminalText(m.cpuName) << "\n"
        << "Architecture: " << TerminalText(m.architecture) << "\n"
        << "Threads: " << m.threads << "\n"
        << "Base Speed: " << TerminalText(m.baseSpeed) << "\n"
        << "Current Speed: " << TerminalText(m.currentSpeed) << "\n";
    return out.str();
}

std::string PlainSummaryReport(const std::vector<RunSummary>& summary,
                               std::string_view decimalSeparator) {
    std::ostringstream out;
    for (const RunSummary& s : summary) {
        out << (s.multiCore ? "Multi-core summary (" : "Single-core summary (") << TypeName(s.kind)
            << (s.multiCore ? ", " + Threads(s.threads) : "") << ", " << s.measured << " of "
            << s.repeats << (s.repeats == 1 ? " run" : " runs") << " measured)\n";
        if (!s.median) {
            out << "  no measured run\n";
            continue;
        }
        out << "  Median: " << SpeedText(*s.median, decimalSeparator) << "\n"
            << "  Range: " << Millions(*s.minimum, decimalSeparator) << " to "
            << SpeedText(*s.maximum, decimalSeparator) << "\n";
        if (s.spread)
            out << "  Spread: " << Percent(*s.spread, decimalSeparator) << "\n";
        out << "  Rating: " << RatingWord(*s.ratingValue()) << "\n";
    }
    return out.str();
}

std::string PlainScalingReport(WorkloadKind kind, const std::vector<ScalingStep>& scaling,
                               std::string_view decimalSeparator) {
    std::ostringstream out;
    out << "Thread scaling (" << TypeName(kind)
        << "; efficiency: speed / (threads x single-core speed))\n";
    for (const ScalingStep& step : scaling) {
        out << "  " << Threads(step.threads) << ": ";
        if (!step.opsPerSecond) {
            out << "no measured run\n";
            continue;
        }
        out << SpeedText(*step.opsPerSecond, decimalSeparator) << ", efficiency "
            << (step.efficiency ? Percent(*step.efficiency, decimalSeparator) : "unknown") << "\n";
    }
    return out.str();
}

std::string PlainComparisonReport(const std::string& file, const std::vector<Change>& changes,
                                  std::string_view decimalSeparator) {
    std::ostringstream out;
    out << "Compared with " << TerminalText(file) << "\n";
    for (const Change& c : changes) {
        out << "  " << (c.multiCore ? "Multi-core, " : "Single-core, ") << TerminalText(c.testType);
        if (c.multiCore) {
            out << ", ";
            if (c.earlierThreads != c.threads)
                out << c.earlierThreads << " -> ";
            out << Threads(c.threads);
        }
        out << ": ";
        if (c.now && c.change)
            out << Millions(c.earlier, decimalSeparator) << " -> "
                << SpeedText(*c.now, decimalSeparator) << " ("
                << Percent(*c.change, decimalSeparator, true) << ")\n";
        else
            out << SpeedText(c.earlier, decimalSeparator) << " -> no measured run\n";
    }
    return out.str();
}

std::string PlainWarnings(const std::vector<Warning>& warnings) {
    std::string out;
    for (const Warning& w : warnings)
        out += "Warning: " + TerminalText(w.message) + "\n";
    return out;
}

std::string UtcTimestamp(std::chrono::system_clock::time_point moment) {
    using namespace std::chrono;
    // floor, not a cast: before 1970 a cast would move the time forward.
    const auto second = floor<seconds>(moment);
    const auto day = floor<days>(second);
    const year_month_day date{day};
    const hh_mm_ss<seconds> time{second - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

std::string JsonReport(const Identity& identity, const sysinfo::MachineFacts& m,
                       const JsonContext& context, const Results* results) {
    Json root;
    root["schema_version"] = kJsonSchemaVersion;
    root["product"] = identity.product;
    root["version"] = identity.version;
    root["started_utc"] = Optional(context.startedUtc);
    // The window's texts stay as they were; the numbers behind them and the
    // other facts come beside them.
    root["machine"] = {{"cpu_name", m.cpuName},
                       {"architecture", m.architecture},
                       {"threads", m.threads},
                       {"physical_cores", Optional(context.physicalCores)},
                       {"base_speed", m.baseSpeed},
                       {"base_speed_mhz", Optional(m.baseSpeedMhz)},
                       {"current_speed", m.currentSpeed},
                       {"current_speed_mhz", Optional(m.currentSpeedMhz)},
                       {"os", TextOrNull(context.os)},
                       {"kernel", TextOrNull(context.kernel)}};
    if (results) {
        Json warnings = Json::array();
        for (const Warning& w : results->warnings)
            warnings.push_back({{"code", w.code}, {"message", w.message}});
        root["warnings"] = std::move(warnings);
        Json runs = Json::array();
        for (const RunOutcome& o : results->runs)
            runs.push_back(RunJson(o));
        root["runs"] = std::move(runs);
        Json summary = Json::array();
        for (const RunSummary& s : results->summary)
            summary.push_back(SummaryJson(s));
        root["summary"] = std::move(summary);
        if (results->scaling) {
            Json scaling = Json::array();
            for (const ScalingStep& step : *results->scaling)
                scaling.push_back({{"threads", step.threads},
                                   {"ops_per_second", Optional(step.opsPerSecond)},
                                   {"efficiency", Optional(step.efficiency)}});
            root["scaling"] = std::move(scaling);
        }
        if (results->comparison) {
            Json comparison = Json::array();
            for (const Change& c : *results->comparison)
                comparison.push_back({{"mode", c.multiCore ? "multi" : "single"},
                                      {"test_type", c.testType},
                                      {"threads", c.threads},
                                      {"old_threads", c.earlierThreads},
                                      {"old_ops_per_second", c.earlier},
                                      {"new_ops_per_second", Optional(c.now)},
                                      {"change", Optional(c.change)}});
            root["comparison"] = std::move(comparison);
        }
    }
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string JsonReport(const Identity& identity, const sysinfo::MachineFacts& machine,
                       const std::vector<RunOutcome>& runs) {
    Results results;
    results.runs = runs;
    results.summary = Summarise(runs);
    return JsonReport(identity, machine, JsonContext{}, &results);
}

} // namespace zentaro::cli
