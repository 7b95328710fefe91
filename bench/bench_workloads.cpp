// Speed of the six workloads, each beside a minimal hand-written loop of the
// same shape, the cost of the stop/progress checks, and multi-core efficiency.
//
//   build/bench/bench_workloads --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true
//
// "ns/iter" is nanoseconds per loop iteration; compare each BM_Workload/<kind>
// with BM_Reference/<kind> from the same run.
#include "engine/run.h"
#include "engine/workloads.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>

using namespace zentaro;

namespace {

constexpr std::uint64_t kIterations = std::uint64_t{1} << 24;

void ReportPerIteration(benchmark::State& state, std::uint64_t perCall) {
    state.counters["ns/iter"] = benchmark::Counter(
        static_cast<double>(perCall) * static_cast<double>(state.iterations()) / 1e9,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Workload(benchmark::State& state, WorkloadKind kind) {
    const std::uint64_t n =
        kind == WorkloadKind::FloatingPoint || kind == WorkloadKind::Trigonometric ? kIterations / 8
                                                                                   : kIterations;
    std::uint64_t result = 0;
    for (auto _ : state) {
        RunWorkloadOf(kind, n, result);
        benchmark::DoNotOptimize(result);
    }
    ReportPerIteration(state, n);
}

// The same loop with a stop flag and a progress counter attached, as runs use it.
void BM_WorkloadWithControl(benchmark::State& state, WorkloadKind kind) {
    const std::uint64_t n = kIterations;
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> progress{0};
    const WorkloadControl control{&stop, &progress};
    std::uint64_t result = 0;
    for (auto _ : state) {
        RunWorkloadOf(kind, n, result, control);
        benchmark::DoNotOptimize(result);
    }
    ReportPerIteration(state, n);
}

// Reference loops: the dependency chain each workload allows, written by hand,
// one pass over i = 1..n with no chunking and no checks.
#if defined(__x86_64__)

std::uint64_t RefInteger(std::uint64_t n) {
    std::uint64_t a = 1, i = 1, t;
    // a = (a << 4) + (a + i): lea and shl in parallel, then one add.
    asm volatile("1:\n\t"
                 "lea (%[a],%[i]), %[t]\n\t"
                 "shl $4, %[a]\n\t"
                 "add %[t], %[a]\n\t"
                 "add $1, %[i]\n\t"
                 "cmp %[n], %[i]\n\t"
                 "jbe 1b\n\t"
                 : [a] "+r"(a), [i] "+r"(i), [t] "=&r"(t)
                 : [n] "r"(n)
                 : "cc");
    return a;
}

std::uint64_t RefBitwise(std::uint64_t n) {
    std::uint64_t a = 0xF0F0F0F0F0F0F0F0ull, i = 1, t;
    // low 32 bits of 2a (lea zero-extends) in parallel with the xor, then or.
    asm volatile("1:\n\t"
                 "lea (%[a],%[a]), %k[t]\n\t"
                 "xor %[i], %[a]\n\t"
                 "or %[t], %[a]\n\t"
                 "add $1, %[i]\n\t"
                 "cmp %[n], %[i]\n\t"
                 "jbe 1b\n\t"
                 : [a] "+r"(a), [i] "+r"(i), [t] "=&r"(t)
                 : [n] "r"(n)
                 : "cc");
    return a;
}

std::uint64_t RefBranch(std::uint64_t n) {
    std::uint64_t a = 0, i = 1;
    asm volatile(".p2align 5\n\t"
                 "1:\n\t"
                 "test $1, %[i]\n\t"
                 "jnz 2f\n\t"
                 "add %[i], %[a]\n\t"
                 "jmp 3f\n\t"
                 "2:\n\t"
                 "sub %[i], %[a]\n\t"
                 "3:\n\t"
                 "add $1, %[i]\n\t"
                 "cmp %[n], %[i]\n\t"
                 "jbe 1b\n\t"
                 : [a] "+r"(a), [i] "+r"(i)
                 : [n] "r"(n)
                 : "cc");
    return a;
}

std::uint64_t RefDefault(std::uint64_t n) {
    double v = 0.0, s;
    std::uint64_t i = 1;
    asm volatile("1:\n\t"
                 "pxor %[s], %[s]\n\t"
                 "cvtsi2sd %[i], %[s]\n\t"
                 "sqrtsd %[s], %[s]\n\t"
                 "addsd %[s], %[v]\n\t"
                 "add $1, %[i]\n\t"
                 "cmp %[n], %[i]\n\t"
                 "jbe 1b\n\t"
                 : [v] "+x"(v), [i] "+r"(i), [s] "=&x"(s)
                 : [n] "r"(n)
                 : "cc");
    return static_cast<std::uint64_t>(v);
}

#endif

// Floating Point and Trigonometric are bound by the C library's sin and
// sincos; their reference is the plain loop around the same calls.
std::uint64_t RefFloatingPoint(std::uint64_t n) {
    double v = 1.0;
    for (std::uint64_t i = 1; i <= n; ++i) {
        v += std::sin(static_cast<double>(static_cast<std::int64_t>(i)) * 0.001);
        asm volatile("" : "+x"(v));
    }
    return static_cast<std::uint64_t>(v);
}

std::uint64_t RefTrigonometric(std::uint64_t n) {
    double v = 1.0;
    for (std::uint64_t i = 1; i <= n; ++i) {
        const double b =
            static_cast<double>(static_cast<std::int64_t>(i % 360)) * 3.141592653589793 / 180.0;
        v += std::sin(b) * std::cos(b);
        v += std::sqrt(static_cast<double>(static_cast<std::int64_t>(i % 1000 + 1)));
        asm volatile("" : "+x"(v));
    }
    return static_cast<std::uint64_t>(v);
}

void BM_Reference(benchmark::State& state, WorkloadKind kind) {
    std::uint64_t n = kIterations;
    std::uint64_t (*loop)(std::uint64_t) = nullptr;
    switch (kind) {
#if defined(__x86_64__)
    case WorkloadKind::Default:
        loop = RefDefault;
        break;
    case WorkloadKind::IntegerArithmetic:
        loop = RefInteger;
        break;
    case WorkloadKind::Branch:
        loop = RefBranch;
        break;
    case WorkloadKind::BitwiseLogic:
        loop = RefBitwise;
        break;
#endif
    case WorkloadKind::FloatingPoint:
        loop = RefFloatingPoint;
        n = kIterations / 8;
        break;
    case WorkloadKind::Trigonometric:
        loop = RefTrigonometric;
        n = kIterations / 8;
        break;
    default:
        state.SkipWithError("no reference loop on this architecture");
        return;
    }
    for (auto _ : state) {
        std::uint64_t r = loop(n);
        benchmark::DoNotOptimize(r);
    }
    ReportPerIteration(state, n);
}

// Multi-core ops/sec divided by (N x single-core ops/sec), measured with the
// engine's own runs; 1.0 means perfect scaling.
void BM_MultiCoreEfficiency(benchmark::State& state, WorkloadKind kind) {
    const unsigned workers = std::max(1u, std::thread::hardware_concurrency());
    const RunRequest request{kind, 400'000'000};
    double efficiency = 0.0;
    for (auto _ : state) {
        auto single = RunSingleCore(request, MakeRunHandle(request, 1));
        auto multi = RunMultiCore(request, workers, MakeRunHandle(request, workers));
        if (!single.hasResult() || !multi.hasResult()) {
            state.SkipWithError("run too short to measure");
            return;
        }
        efficiency = multi.score / (workers * single.score);
    }
    state.counters["efficiency"] = efficiency;
    state.counters["workers"] = workers;
}

void RegisterAll() {
    for (WorkloadKind kind : kAllWorkloads) {
        const std::string name(WorkloadDisplayName(kind));
        benchmark::RegisterBenchmark(("BM_Workload/" + name).c_str(), BM_Workload, kind)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_Reference/" + name).c_str(), BM_Reference, kind)
            ->Unit(benchmark::kMillisecond);
    }
    for (WorkloadKind kind : {WorkloadKind::IntegerArithmetic, WorkloadKind::Branch}) {
        const std::string name(WorkloadDisplayName(kind));
        benchmark::RegisterBenchmark(("BM_WorkloadWithControl/" + name).c_str(),
                                     BM_WorkloadWithControl, kind)
            ->Unit(benchmark::kMillisecond);
    }
    for (WorkloadKind kind : {WorkloadKind::Default, WorkloadKind::IntegerArithmetic}) {
        const std::string name(WorkloadDisplayName(kind));
        benchmark::RegisterBenchmark(("BM_MultiCoreEfficiency/" + name).c_str(),
                                     BM_MultiCoreEfficiency, kind)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3)
            ->UseRealTime();
    }
}

} // namespace

int main(int argc, char** argv) {
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
