#include "comparison.h"

#include "platform/files.h"
#include "runwait.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>

namespace zentaro::cli {

namespace {

using Json = nlohmann::json;

const char* const kNotAResult = "not a zentaro-cli --json result";

// What a run on `threads` workers can measure: at least one operation over the
// longest wait for it, at most the most operations on each worker in one
// millisecond. A speed outside is no run's, and would only print absurd
// changes.
bool PossibleSpeed(double opsPerSecond, unsigned threads) {
    const double fastest = static_cast<double>(kMaxOperationCount) * threads * 1000.0;
    return std::isfinite(opsPerSecond) && opsPerSecond >= SlowestRunSpeed() &&
           opsPerSecond <= fastest;
}

// Deeper than any output of ours; deeper still only costs memory.
constexpr int kMaxDepth = 32;

// Reads an earlier output as it is parsed, keeping only what a comparison
// needs, so that a file of any shape within the size cap costs little memory
// beyond its runs. Where a key comes twice, the last one counts. The first
// run that is not one is remembered and the rest of the text still checked,
// so that text that is not JSON at all is called that.
class EarlierReader {
public:
    using Number = Json::number_integer_t;
    using Unsigned = Json::number_unsigned_t;
    using Float = Json::number_float_t;

    bool null() { return Value(Kind::Null); }
    bool boolean(bool) { return Value(Kind::Other); }
    bool number_integer(Number v) { return Value(Kind::Number, static_cast<double>(v)); }
    bool number_unsigned(Unsigned v) {
        return Value(Kind::Unsigned, static_cast<double>(v), std::optional<Unsigned>(v));
    }
    bool number_float(Float v, const std::string&) { return Value(Kind::Number, v); }
    bool string(std::string& v) { return Value(Kind::String, 0, std::nullopt, &v); }
    bool binary(Json::binary_t&) { return Value(Kind::Other); }
    bool start_object(std::size_t) { return Open(true); }
    bool start_array(std::size_t) { return Open(false); }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool key(std::string& k) {
        frames_.back().key = std::move(k);
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) {
        return false;
    }

    bool tooDeep() const { return tooDeep_; }
    bool hasRuns() const { return hasRuns_; }
    const std::string& error() const { return error_; }
    EarlierResult take() { return std::move(result_); }

private:
    enum class Kind { Null, Number, Unsigned, String, Other, Container };
    enum class Role { Root, Runs, Run, Other };

    struct Field {
        Kind kind = Kind::Other;
        bool present = false;
        double number = 0;
        std::optional<Unsigned> whole;
        std::string text;
    };
    struct Frame {
        Role role = Role::Other;
        bool object = false;
        std::string key;
        // In a run: mode, test_type, threads, ops_per_second.
        std::array<Field, 4> fields;
    };

    // What the next value is to its container.
    Role RoleOfNext(bool object) const {
        if (frames_.empty())
            return object ? Role::Root : Role::Other;
        const Frame& parent = frames_.back();
        if (parent.role == Role::Root && parent.key == "runs")
            return object ? Role::Other : Role::Runs; // an object here is no list
        if (parent.role == Role::Runs && object)
            return Role::Run;
        return Role::Other;
    }

    // A value within a container: a run's field, the "runs" key, or an
    // element of the runs list that is not a run.
    bool Value(Kind kind, double number = 0, std::optional<Unsigned> whole = std::nullopt,
               std::string* text = nullptr) {
        if (frames_.empty())
            return true; // a bare value: no "runs" list
        Frame& parent = frames_.back();
        if (parent.role == Role::Root && parent.key == "runs") {
            StartRuns(false);
        } else if (parent.role == Role::Runs) {
            ++runIndex_;
            Fail("run " + std::to_string(runIndex_) +
                 " lacks a mode, test type, thread count or speed");
        } else if (parent.role == Role::Run) {
            const int at = FieldIndex(parent.key);
            if (at >= 0) {
                Field& f = parent.fields[std::size_t(at)];
                f.kind = kind;
                f.present = true;
                f.number = number;
                f.whole = whole;
                f.text = text && (at == 0 || at == 1) ? std::move(*text) : std::string();
            }
        }
        return true;
    }

    bool Open(bool object) {
        if (frames_.size() >= std::size_t(kMaxDepth)) {
            tooDeep_ = true;
            return false;
        }
        const Role role = RoleOfNext(object);
        if (!frames_.empty()) {
            Frame& parent = frames_.back();
            if (parent.role == Role::Root && parent.key == "runs")
                StartRuns(role == Role::Runs);
            else if (parent.role == Role::Runs && !object) {
                ++runIndex_;
                Fail("run " + std::to_string(runIndex_) +
                     " lacks a mode, test type, thread count or speed");
            } else if (parent.role == Role::Run && FieldIndex(parent.key) >= 0) {
                Field& f = parent.fields[std::size_t(FieldIndex(parent.key))];
                f = Field{};
                f.kind = Kind::Container;
                f.present = true;
            }
        }
        frames_.push_back(Frame{role, object, {}, {}});
        return true;
    }

    bool Close() {
        const Frame frame = std::move(frames_.back());
        frames_.pop_back();
        if (frame.role == Role::Run) {
            ++runIndex_;
            ReadRun(frame);
        }
        return true;
    }

    static int FieldIndex(const std::string& key) {
        static const char* const kNames[] = {"mode", "test_type", "threads", "ops_per_second"};
        for (int i = 0; i < 4; ++i)
            if (key == kNames[i])
                return i;
        return -1;
    }

    // A "runs" key at the top: what it held before no longer counts.
    void StartRuns(bool list) {
        hasRuns_ = list;
        runIndex_ = 0;
        error_.clear();
        result_.runs.clear();
    }

    void Fail(std::string why) {
        if (error_.empty())
            error_ = std::move(why);
    }

    void ReadRun(const Frame& run) {
        const Field& mode = run.fields[0];
        const Field& type = run.fields[1];
        const Field& threads = run.fields[2];
        const Field& speed = run.fields[3];
        const std::string which = "run " + std::to_string(runIndex_);
        if (!mode.present || mode.kind != Kind::String ||
            (mode.text != "single" && mode.text != "multi") || !type.present ||
            type.kind != Kind::String || !threads.present || threads.kind != Kind::Unsigned ||
            !speed.present ||
            (speed.kind != Kind::Null && speed.kind != Kind::Number &&
             speed.kind != Kind::Unsigned)) {
            Fail(which + " lacks a mode, test type, thread count or speed");
            return;
        }
        if (*threads.whole > std::numeric_limits<unsigned>::max()) {
            Fail(which + " lacks a mode, test type, thread count or speed");
            return;
        }
        if (*threads.whole == 0) {
            Fail(which + " has no threads");
            return;
        }
        if (speed.kind == Kind::Null)
            return; // a run that measured nothing
        if (!PossibleSpeed(speed.number, static_cast<unsigned>(*threads.whole))) {
            Fail(which + " has a speed no run can measure");
            return;
        }
        if (!error_.empty())
            return;
        EarlierRun r;
        r.multiCore = mode.text == "multi";
        r.testType = type.text;
        r.threads = static_cast<unsigned>(*threads.whole);
        r.opsPerSecond = speed.number;
        result_.runs.push_back(std::move(r));
    }

    std::vector<Frame> frames_;
    bool tooDeep_ = false;
    bool hasRuns_ = false;
    std::size_t runIndex_ = 0;
    std::string error_;
    EarlierResult result_;
};

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
    EarlierReader reader;
    const bool parsed = Json::sax_parse(text.begin(), text.end(), &reader);
    if (reader.tooDeep()) {
        error = std::string(kNotAResult) + " (nested more than " + std::to_string(kMaxDepth) +
                " levels deep)";
        return std::nullopt;
    }
    if (!parsed) {
        error = "not JSON";
        return std::nullopt;
    }
    if (!reader.hasRuns()) {
        error = std::string(kNotAResult) + " (no \"runs\" list)";
        return std::nullopt;
    }
    if (!reader.error().empty()) {
        error = std::string(kNotAResult) + " (" + reader.error() + ")";
        return std::nullopt;
    }
    return reader.take();
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
