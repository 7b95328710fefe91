#include "comparison.h"

#include "platform/files.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>

namespace zentaro::cli {

namespace {

using Json = nlohmann::json;

const char* const kNotAResult = "not a zentaro-cli --json result";

std::optional<EarlierRun> ReadRun(const Json& run) {
    if (!run.is_object())
        return std::nullopt;
    const auto mode = run.find("mode");
    const auto type = run.find("test_type");
    const auto threads = run.find("threads");
    const auto speed = run.find("ops_per_second");
    if (mode == run.end() || type == run.end() || threads == run.end() || speed == run.end())
        return std::nullopt;
    if (!mode->is_string() || (*mode != "single" && *mode != "multi") || !type->is_string() ||
        !threads->is_number_unsigned() ||
        threads->get<std::uint64_t>() > std::numeric_limits<unsigned>::max())
        return std::nullopt;
    if (!speed->is_null() && !speed->is_number())
        return std::nullopt;
    EarlierRun r;
    r.multiCore = *mode == "multi";
    r.testType = type->get<std::string>();
    r.threads = static_cast<unsigned>(threads->get<std::uint64_t>());
    r.opsPerSecond = speed->is_null() ? 0.0 : speed->get<double>();
    return r;
}

// What a run can measure: at least one operation in at most 2^64 - 1 whole
// milliseconds, at most 2^64 - 1 operations in one millisecond. A speed
// outside is no run's, and would only print absurd changes.
bool PossibleSpeed(double opsPerSecond) {
    constexpr double kMostOperations = 18446744073709551615.0;
    constexpr double kSlowest = 1.0 / (kMostOperations / 1000.0);
    constexpr double kFastest = kMostOperations * 1000.0;
    return std::isfinite(opsPerSecond) && opsPerSecond >= kSlowest && opsPerSecond <= kFastest;
}

struct Key {
    bool multiCore;
    std::string testType;
    unsigned threads;
    bool operator==(const Key&) const = default;
    auto operator<=>(const Key&) const = default;
};

// The earlier runs grouped by kind, in the order they first appear.
struct EarlierGroup {
    Key key;
    std::vector<double> speeds;
};

std::vector<EarlierGroup> Groups(const EarlierResult& earlier) {
    std::vector<EarlierGroup> groups;
    // Where each kind's group is: a file may hold many kinds (one per worker
    // count), and a search through the groups for every run would be quadratic.
    std::map<Key, std::size_t> index;
    for (const EarlierRun& r : earlier.runs) {
        Key key{r.multiCore, r.testType, r.threads};
        const auto [it, added] = index.try_emplace(key, groups.size());
        if (added)
            groups.push_back({std::move(key), {}});
        groups[it->second].speeds.push_back(r.opsPerSecond);
    }
    return groups;
}

} // namespace

std::optional<EarlierResult> ParseEarlierResult(std::string_view text, std::string& error) {
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        error = "the file is empty";
        return std::nullopt;
    }
    const Json root = Json::parse(text.begin(), text.end(), nullptr, false);
    if (root.is_discarded()) {
        error = "not JSON";
        return std::nullopt;
    }
    const auto runs = root.is_object() ? root.find("runs") : root.end();
    if (!root.is_object() || runs == root.end() || !runs->is_array()) {
        error = std::string(kNotAResult) + " (no \"runs\" list)";
        return std::nullopt;
    }
    EarlierResult result;
    std::size_t index = 0;
    for (const Json& item : *runs) {
        ++index;
        const auto run = ReadRun(item);
        if (!run) {
            error = std::string(kNotAResult) + " (run " + std::to_string(index) +
                    " lacks a mode, test type, thread count or speed)";
            return std::nullopt;
        }
        // null: a run that measured nothing, left out below.
        if (!item["ops_per_second"].is_null() && !PossibleSpeed(run->opsPerSecond)) {
            error = std::string(kNotAResult) + " (run " + std::to_string(index) +
                    " has a speed no run can measure)";
            return std::nullopt;
        }
        if (run->opsPerSecond > 0)
            result.runs.push_back(*run);
    }
    return result;
}

std::optional<EarlierResult> LoadEarlierResult(const std::string& path, std::string& error) {
    platform::FileReadFailure why;
    const auto text = platform::ReadRegularFile(path, kMaxEarlierResultBytes, why);
    if (!text) {
        using Kind = platform::FileReadFailure::Kind;
        switch (why.kind) {
        case Kind::NotRegular:
            error = "not a regular file";
            break;
        case Kind::TooLarge:
            error = "larger than " +
                    std::to_string(kMaxEarlierResultBytes / (std::size_t{1024} * 1024)) + " MiB";
            break;
        default:
            error = why.error != 0 ? std::strerror(why.error) : "cannot be read";
            break;
        }
        return std::nullopt;
    }
    return ParseEarlierResult(*text, error);
}

std::vector<Change> Compare(const EarlierResult& earlier, const std::vector<RunSummary>& now) {
    const std::vector<EarlierGroup> groups = Groups(earlier);
    auto multiKinds = [](auto begin, auto end, const std::string& type, auto keyOf) {
        return std::count_if(begin, end, [&](const auto& x) {
            const Key k = keyOf(x);
            return k.multiCore && k.testType == type;
        });
    };
    auto summaryKey = [](const RunSummary& s) {
        return Key{s.multiCore, std::string(WorkloadDisplayName(s.kind)), s.threads};
    };
    auto groupKey = [](const EarlierGroup& g) { return g.key; };

    std::vector<Change> changes;
    for (const RunSummary& s : now) {
        const Key key = summaryKey(s);
        auto match = std::find_if(groups.begin(), groups.end(),
                                  [&](const EarlierGroup& g) { return g.key == key; });
        if (match == groups.end() && key.multiCore &&
            multiKinds(groups.begin(), groups.end(), key.testType, groupKey) == 1 &&
            multiKinds(now.begin(), now.end(), key.testType, summaryKey) == 1) {
            match = std::find_if(groups.begin(), groups.end(), [&](const EarlierGroup& g) {
                return g.key.multiCore && g.key.testType == key.testType;
            });
        }
        if (match == groups.end())
            continue;
        Change c;
        c.multiCore = key.multiCore;
        c.testType = key.testType;
        c.threads = key.threads;
        c.earlierThreads = match->key.threads;
        c.earlier = *Median(match->speeds);
        c.now = s.median;
        if (c.now)
            c.change = (*c.now - c.earlier) / c.earlier;
        changes.push_back(std::move(c));
    }
    return changes;
}

} // namespace zentaro::cli
