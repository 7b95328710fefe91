#include "options.h"

#include "terminaltext.h"

#include <charconv>
#include <optional>
#include <string_view>

namespace zentaro::cli {

namespace {

bool ParseUnsigned(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.front() == '+' || text.front() == '-')
        return false;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

std::string Quoted(const std::string& argument) {
    return TerminalText(argument, kQuotedArgumentLength);
}

} // namespace

std::string UsageText() {
    return "Usage: zentaro-cli [--type NAME] [--length N | --operations N]\n"
           "                  [--single | --multi | --both | --scaling] [-t N] [-n N]\n"
           "                  [--compare FILE] [-q] [-j]\n"
           "       zentaro-cli --info [-j] | -h | -V\n"
           "\n"
           "  --type NAME        Default, \"Integer Arithmetic\", \"Floating Point Arithmetic\",\n"
           "                     Trigonometric, \"Branch Prediction and Control\" or \"Bitwise\n"
           "                     Logic\" (any letter case; default: Default)\n"
           "  --length N         test length 1 to 99999, each unit 100,000,000 operations\n"
           "                     (default 1)\n"
           "  --operations N     an exact operation count from 1 to 9999900000000, for quick\n"
           "                     checks\n"
           "  --single           single-core run only\n"
           "  --multi            multi-core run only (one worker per logical processor)\n"
           "  --both             both runs, single-core first (default)\n"
           "  --scaling          single-core run, then multi-core runs on 1, 2, 4, ... workers\n"
           "                     up to the processor count (or --threads), with the efficiency\n"
           "  -t, --threads N    workers of a multi-core run, 1 to 4096 (default: one per\n"
           "                     logical processor)\n"
           "  -n, --repeat N     run each kind N times, 1 to 1000 (default 1), and show the\n"
           "                     median, the range and the spread\n"
           "  --compare FILE     compare with an earlier --json output\n"
           "  -q, --quiet        leave the warnings about the machine's state out of the text\n"
           "  -j, --json         print one JSON object instead of text\n"
           "  --info             print the machine facts only\n"
           "  -h, --help         print this text\n"
           "  -V, --version      print the product and version\n"
           "\n"
           "A value follows its option as the next argument or after \"=\" (--length=5,\n"
           "--type=\"bitwise logic\"); after -n and -t it may also follow at once (-n5).\n"
           "\n"
           "Plain text is for people: it writes numbers the way your locale does. --json is\n"
           "for programs: the same in every locale, \".\" in numbers, speeds also as numbers,\n"
           "and a \"schema_version\".\n"
           "\n"
           "Every option, the exit statuses and the JSON output are described "
           "in\n" ZENTARO_CLI_GUIDE ".\n";
}

namespace {

// The options that take a value, by their long names.
bool TakesValue(std::string_view name) {
    return name == "--type" || name == "--length" || name == "--operations" || name == "--repeat" ||
           name == "--threads" || name == "--compare";
}

// The long name of a short option; other names as they are.
std::string_view LongName(std::string_view name) {
    if (name == "-n")
        return "--repeat";
    if (name == "-t")
        return "--threads";
    if (name == "-q")
        return "--quiet";
    if (name == "-j")
        return "--json";
    if (name == "-V")
        return "--version";
    if (name == "-h")
        return "--help";
    return name;
}

bool IsFlag(std::string_view name) {
    return name == "--single" || name == "--multi" || name == "--both" || name == "--scaling" ||
           name == "--quiet" || name == "--json" || name == "--info" || name == "--help" ||
           name == "--version";
}

} // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) {
    ParseResult r;
    Options& o = r.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        // The option as typed, and a value given in the same argument:
        // "--name=value", or "-n5" for the short options that take a number.
        std::string typed = a;
        std::optional<std::string> attached;
        if (a.starts_with("--")) {
            if (const std::size_t equals = a.find('='); equals != std::string::npos) {
                typed = a.substr(0, equals);
                attached = a.substr(equals + 1);
            }
        } else if (a.size() > 2 && (a.starts_with("-n") || a.starts_with("-t"))) {
            typed = a.substr(0, 2);
            attached = a.substr(2);
        }
        const std::string_view name = LongName(typed);
        std::string v;
        if (TakesValue(name)) {
            if (attached) {
                v = *attached;
            } else if (i + 1 < args.size()) {
                v = args[++i];
            } else {
                r.error = "missing value for " + typed;
                return r;
            }
            // An empty text is no name, number or file; say so rather than
            // "unknown test type: " with nothing after it.
            if (v.empty()) {
                r.error = "empty value for " + typed;
                return r;
            }
        } else if (attached) {
            r.error = IsFlag(name) ? typed + " takes no value: " + Quoted(a)
                                   : "unknown argument: " + Quoted(a);
            return r;
        }

        if (name == "--type") {
            const auto kind = WorkloadForName(v);
            if (!kind) {
                r.error = "unknown test type: " + Quoted(v);
                return r;
            }
            o.kind = *kind;
        } else if (name == "--length") {
            std::uint64_t n = 0;
            if (!ParseUnsigned(v, n) || n < kMinTestLength || n > kMaxTestLength) {
                r.error = "test length must be a whole number from 1 to 99999: " + Quoted(v);
                return r;
            }
            o.length = static_cast<int>(n);
        } else if (name == "--operations") {
            // No more than the longest test length asks for.
            std::uint64_t n = 0;
            if (!ParseUnsigned(v, n) || n < 1 || n > kMaxOperationCount) {
                r.error = "operation count must be a whole number from 1 to " +
                          std::to_string(kMaxOperationCount) + ": " + Quoted(v);
                return r;
            }
            o.operations = n;
        } else if (name == "--repeat" || name == "--threads") {
            const bool repeat = name == "--repeat";
            const unsigned max = repeat ? kMaxRepeat : kMaxThreads;
            std::uint64_t n = 0;
            if (!ParseUnsigned(v, n) || n < 1 || n > max) {
                r.error = std::string(repeat ? "repeat count" : "thread count") +
                          " must be a whole number from 1 to " + std::to_string(max) + ": " +
                          Quoted(v);
                return r;
            }
            (repeat ? o.repeat : o.threads.emplace()) = static_cast<unsigned>(n);
        } else if (name == "--compare") {
            o.compare = v;
        } else if (name == "--single") {
            o.single = true;
            o.multi = false;
            o.modeGiven = true;
        } else if (name == "--multi") {
            o.single = false;
            o.multi = true;
            o.modeGiven = true;
        } else if (name == "--both") {
            o.single = o.multi = true;
            o.modeGiven = true;
        } else if (name == "--scaling") {
            o.scaling = true;
        } else if (name == "--quiet") {
            o.quiet = true;
        } else if (name == "--json") {
            o.json = true;
        } else if (name == "--info") {
            o.info = true;
        } else if (name == "--help") {
            o.help = true;
        } else if (name == "--version") {
            o.version = true;
        } else {
            r.error = "unknown argument: " + Quoted(a);
            return r;
        }
    }
    if (o.scaling && o.modeGiven)
        r.error = "--scaling makes its own single- and multi-core runs: leave out --single, "
                  "--multi and --both";
    return r;
}

} // namespace zentaro::cli
