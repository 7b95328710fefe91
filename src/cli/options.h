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

// How much of an argument an error message quotes.
inline constexpr std::size_t kQuotedArgumentLength = 60;

ParseResult ParseArguments(const std::vector<std::string>& args);
std::string UsageText();

} // namespace zentaro::cli
