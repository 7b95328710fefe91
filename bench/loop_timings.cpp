// Times the engine's six loops with a plain stopwatch, for builds without
// Google Benchmark. Each loop runs as BM_Workload of bench_workloads does
// (2^24 iterations, 2^21 for the two sine-bound ones), once to warm up and
// then --repetitions times; the median is printed.
//
//   loop_timings [--repetitions N]
#include "engine/workloads.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace zentaro;

namespace {

// Runs body once to warm up (caches, clock ramp), then `repetitions` times,
// and gives the median of the timed runs in seconds.
template <typename Body> double MedianSeconds(int repetitions, Body body) {
    body();
    std::vector<double> seconds;
    for (int r = 0; r < repetitions; ++r) {
        const auto start = std::chrono::steady_clock::now();
        body();
        const auto end = std::chrono::steady_clock::now();
        seconds.push_back(std::chrono::duration<double>(end - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    const std::size_t mid = seconds.size() / 2;
    return seconds.size() % 2 ? seconds[mid] : (seconds[mid - 1] + seconds[mid]) / 2;
}

void PrintRow(const char* name, std::uint64_t count, double median) {
    std::printf("%-32s %12llu %12.3f %12.4f\n", name, static_cast<unsigned long long>(count),
                median * 1e3, median * 1e9 / static_cast<double>(count));
}

} // namespace

int main(int argc, char** argv) {
    int repetitions = 9;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repetitions") == 0 && i + 1 < argc) {
            repetitions = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: loop_timings [--repetitions N]\n");
            return 2;
        }
    }
    if (repetitions < 1 || repetitions > 1000) {
        std::fprintf(stderr, "loop_timings: repetitions from 1 to 1000\n");
        return 2;
    }

    constexpr std::uint64_t kIterations = std::uint64_t{1} << 24;
    std::printf("%-32s %12s %12s %12s\n", "loop", "iterations", "median ms", "ns/iter");
    for (WorkloadKind kind : kAllWorkloads) {
        const std::uint64_t n =
            kind == WorkloadKind::FloatingPoint || kind == WorkloadKind::Trigonometric
                ? kIterations / 8
                : kIterations;
        std::uint64_t result = 0;
        const double median = MedianSeconds(repetitions, [&] { RunWorkloadOf(kind, n, result); });
        PrintRow(std::string(WorkloadDisplayName(kind)).c_str(), n, median);
    }

    // The two sine-bound loops spend most of their time in the C library's
    // sine, whose speed depends on its argument's range on some systems: the
    // floating-point loop's arguments grow to thousands of radians, the
    // trigonometric loop's stay below 2 pi.
    std::printf("%-32s %12s %12s %12s\n", "sine alone, arguments", "calls", "median ms", "ns/call");
    const struct {
        const char* name;
        double step;
    } ranges[] = {{"0 to 0.5", 0.5 / 2097152}, {"0 to 6.3", 6.3 / 2097152}, {"0 to 2097", 0.001}};
    for (const auto& range : ranges) {
        constexpr std::uint64_t kCalls = std::uint64_t{1} << 21;
        volatile double sink = 0;
        const double median = MedianSeconds(repetitions, [&] {
            double sum = 0;
            for (std::uint64_t i = 0; i < kCalls; ++i)
                sum += std::sin(static_cast<double>(i) * range.step);
            sink = sum;
        });
        PrintRow(range.name, kCalls, median);
    }
    return 0;
}
