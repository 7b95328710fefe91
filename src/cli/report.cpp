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

std::string PlainRunReport(const RunOutcome& outcome, std::string_view decimalSeparator) {
    std::ostringstream out;
    const char* caption = outcome.multiCore ? "Multi-Core:" : "Single-Core:";
    out << (outcome.multiCore ? "Multi-core run" : "Single-core run") << " ("
        << TypeName(outcome.kind) << ", " << outcome.operationCount << " operations"
        << (outcome.multiCore ? " x " + std::to_string(outcome.threads) + " threads" : "") << ")\n";
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

std::string JsonReport(const Identity& identity, const sysinfo::MachineFacts& m,
                       const std::vector<RunOutcome>& runs, bool withRuns) {
    using Json = nlohmann::ordered_json;
    Json root;
    root["product"] = identity.product;
    root["version"] = identity.version;
    root["machine"] = {{"cpu_name", m.cpuName},
                       {"architecture", m.architecture},
                       {"threads", m.threads},
                       {"base_speed", m.baseSpeed},
                       {"current_speed", m.currentSpeed}};
    if (withRuns) {
        Json list = Json::array();
        for (const RunOutcome& o : runs) {
            const bool timed = o.status == RunOutcome::Status::Completed ||
                               o.status == RunOutcome::Status::TooShort;
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
            run["rating"] =
                measured ? Json(std::string(RatingWord(o.ratingValue()))) : Json(nullptr);
            Json results = Json::array();
            for (const auto& result : o.results)
                results.push_back(result ? Json(Hex64(*result)) : Json(nullptr));
            run["results"] = std::move(results);
            list.push_back(std::move(run));
        }
        root["runs"] = std::move(list);
    }
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace zentaro::cli
