#include "options.h"

#include "terminaltext.h"

#include <charconv>

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
    return "Usage: zentaro-cli [--type NAME] [--length N | --operations N] [--single | --multi | "
           "--both | --scaling]\n"
           "                  [--threads N] [--repeat N] [--compare FILE] [--quiet] [--json]\n"
           "       zentaro-cli --info | --help | --version\n"
           "\n"
           "  --type NAME       Default, \"Integer Arithmetic\", \"Floating Point Arithmetic\",\n"
           "                    Trigonometric, \"Branch Prediction and Control\" or \"Bitwise "
           "Logic\"\n"
           "                    (any letter case; default: Default)\n"
           "  --length N        test length 1 to 99999, each unit 100,000,000 operations "
           "(default 1)\n"
           "  --operations N    an exact operation count from 1 to 9999900000000, for quick "
           "checks\n"
           "  --single          single-core run only\n"
           "  --multi           multi-core run only (one worker per logical processor)\n"
           "  --both            both runs, single-core first (default)\n"
           "  --scaling         single-core run, then multi-core runs on 1, 2, 4, ... workers\n"
           "                    up to the processor count (or --threads), with the efficiency\n"
           "  --threads N       workers of a multi-core run, 1 to 4096 (default: one per\n"
           "                    logical processor)\n"
           "  --repeat N        run each kind N times, 1 to 1000 (default 1), and show the\n"
           "                    median, the range and the spread\n"
           "  --compare FILE    compare with an earlier --json output\n"
           "  --quiet           leave the warnings about the machine's state out of the text\n"
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
                r.error = "unknown test type: " + Quoted(v);
                return r;
            }
            o.kind = *kind;
        } else if (a == "--length") {
            if (!value(v))
                return r;
            std::uint64_t n = 0;
            if (!ParseUnsigned(v, n) || n < kMinTestLength || n > kMaxTestLength) {
                r.error = "test length must be a whole number from 1 to 99999: " + Quoted(v);
                return r;
            }
            o.length = static_cast<int>(n);
        } else if (a == "--operations") {
            if (!value(v))
                return r;
            // No more than the longest test length asks for.
            std::uint64_t n = 0;
            if (!ParseUnsigned(v, n) || n < 1 || n > kMaxOperationCount) {
                r.error = "operation count must be a whole number from 1 to " +
                          std::to_string(kMaxOperationCount) + ": " + Quoted(v);
                return r;
            }
            o.operations = n;
        } else if (a == "--repeat" || a == "--threads") {
            if (!value(v))
                return r;
            const bool repeat = a == "--repeat";
            const unsigned max = repeat ? kMaxRepeat : kMaxThreads;
            std::uint64_t n = 0;
            if (!ParseUnsigned(v, n) || n < 1 || n > max) {
                r.error = std::string(repeat ? "repeat count" : "thread count") +
                          " must be a whole number from 1 to " + std::to_string(max) + ": " +
                          Quoted(v);
                return r;
            }
            (repeat ? o.repeat : o.threads.emplace()) = static_cast<unsigned>(n);
        } else if (a == "--compare") {
            if (!value(v))
                return r;
            o.compare = v;
        } else if (a == "--single") {
            o.single = true;
            o.multi = false;
            o.modeGiven = true;
        } else if (a == "--multi") {
            o.single = false;
            o.multi = true;
            o.modeGiven = true;
        } else if (a == "--both") {
            o.single = o.multi = true;
            o.modeGiven = true;
        } else if (a == "--scaling") {
            o.scaling = true;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--info") {
            o.info = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
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
