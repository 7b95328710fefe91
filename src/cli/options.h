#pragma once

#include "engine/workloads.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zentaro::cli {

struct Options {
    WorkloadKind kind = WorkloadKind::Default;
    int length = 1;
    std::optional<std::uint64_t> operations; // exact count, overrides length
    bool single = true;
    bool multi = true;
    bool modeGiven = false;             // --single, --multi or --both was given
    unsigned repeat = 1;                // runs of each kind, one after another
    std::optional<unsigned> threads;    // workers of a multi-core run; default: every processor
    bool scaling = false;               // single-core, then multi-core on 1, 2, 4, ... workers
    bool quiet = false;                 // no warnings in plain output
    std::optional<std::string> compare; // an earlier --json output to compare with
    bool json = false;
    bool info = false;
    bool help = false;
    bool version = false;

    std::uint64_t operationCount() const {
        return operations ? *operations : OperationCountForLength(length);
    }
};

struct ParseResult {
    Options options;
    // One line, safe to print (arguments escaped and cut); empty when the
    // arguments are good.
    std::string error;
};

inline constexpr unsigned kMaxRepeat = 1000;
inline constexpr unsigned kMaxThreads = 4096;

// How much of an argument an error message quotes.
inline constexpr std::size_t kQuotedArgumentLength = 60;

ParseResult ParseArguments(const std::vector<std::string>& args);
std::string UsageText();

} // namespace zentaro::cli
