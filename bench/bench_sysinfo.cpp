// Cost of one current-speed sample (the window takes one a second on its user
// interface thread, so it must stay well under a millisecond), on this machine
// and on fixture machines of each kind, and of reading the identity block.
//
//   build/bench/bench_sysinfo
#include "about/versioninfo.h"
#include "platform/clockspeed.h"
#include "platform/registry.h"
#include "platform/versionresource.h"
#include "sysinfo/processorinfo.h"

#include <benchmark/benchmark.h>
#include <string>

using namespace zentaro;

namespace {

std::string Parent(const std::string& path) {
    return path.substr(0, path.find_last_of('/'));
}

// The fixture machines of the tests, found from this source file's place.
const std::string kMachines = Parent(__FILE__) + "/../tests/data/machines";

void BM_ClockSample(benchmark::State& state, std::string root) {
    const auto clock = platform::CreateClockSpeedSource(root);
    int mhz = 0;
    for (auto _ : state) {
        mhz = clock->QueryCurrentClockSpeed();
        benchmark::DoNotOptimize(mhz);
    }
    state.SetLabel(std::to_string(mhz) + " MHz");
}
BENCHMARK_CAPTURE(BM_ClockSample, this_machine, std::string("/"));
BENCHMARK_CAPTURE(BM_ClockSample, cpufreq, kMachines + "/intel-desktop");
BENCHMARK_CAPTURE(BM_ClockSample, cpuinfo_only, kMachines + "/vm");

void BM_CpuInfo(benchmark::State& state) {
    const auto registry = platform::CreateSystemRegistry("/");
    for (auto _ : state)
        benchmark::DoNotOptimize(sysinfo::GetCPUInfo(*registry));
}
BENCHMARK(BM_CpuInfo);

void BM_ReadAppIdentity(benchmark::State& state) {
    const auto resources = platform::CreateVersionResource();
    // zentaro-cli sits one folder above the benchmarks.
    const std::string exe = Parent(platform::CurrentExecutablePath()) + "/../zentaro-cli";
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadAppIdentity(*resources, exe));
}
BENCHMARK(BM_ReadAppIdentity);

} // namespace

BENCHMARK_MAIN();
