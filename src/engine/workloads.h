#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zentaro {

enum class WorkloadKind {
    Default,
    IntegerArithmetic,
    FloatingPoint,
    Trigonometric,
    Branch,
    BitwiseLogic,
};

inline constexpr std::array<WorkloadKind, 6> kAllWorkloads = {
    WorkloadKind::Default,       WorkloadKind::IntegerArithmetic,
    WorkloadKind::FloatingPoint, WorkloadKind::Trigonometric,
    WorkloadKind::Branch,        WorkloadKind::BitwiseLogic,
};

// The loops publish progress and look at the stop flag once per chunk, so both
// cost nothing measurable while a stop still takes effect within milliseconds.
inline constexpr std::uint64_t kWorkloadChunk = std::uint64_t{1} << 20;

// Optional cooperation with a running loop. Both pointers may be null.
struct WorkloadControl {
    const std::atomic<bool>* stop = nullptr;
    // Iterations completed so far, updated once per chunk.
    std::atomic<std::uint64_t>* progress = nullptr;
};

// Each workload runs its loop for i = 1..n and writes `result` once, after the
// loop. They return false, leaving `result` untouched, when stopped early.
bool DefaultWorkload(std::uint64_t n, std::uint64_t& result, const WorkloadControl& control = {});
bool IntegerArithmeticWorkload(std::uint64_t n, std::uint64_t& result,
                               const WorkloadControl& control = {});
bool FloatingPointWorkload(std::uint64_t n, std::uint64_t& result,
                           const WorkloadControl& control = {});
bool TrigonometricWorkload(std::uint64_t n, std::uint64_t& result,
                           const WorkloadControl& control = {});
bool BranchWorkload(std::uint64_t n, std::uint64_t& result, const WorkloadControl& control = {});
bool BitwiseLogicWorkload(std::uint64_t n, std::uint64_t& result,
                          const WorkloadControl& control = {});

bool RunWorkloadOf(WorkloadKind kind, std::uint64_t n, std::uint64_t& result,
                   const WorkloadControl& control = {});

// The value stored in TestType for a kind: its English name, empty for Default.
std::string_view TestTypeValue(WorkloadKind kind);
// The English name shown to people: as TestTypeValue, but "Default" for Default.
std::string_view WorkloadDisplayName(WorkloadKind kind);
// Exact, case-sensitive match of a TestType value; empty means Default.
std::optional<WorkloadKind> WorkloadForTestType(std::string_view testType);
// Command-line spelling: a display name in any letter case.
std::optional<WorkloadKind> WorkloadForName(std::string_view name);

// Loop iterations for one worker: OperationCount, times 8 or divided by 5.
// Empty when the count does not fit 64 bits (or the kind is not one of the
// six): a wrapped count would run a different loop than the one reported.
std::optional<std::uint64_t> IterationsFor(WorkloadKind kind, std::uint64_t operationCount);

inline constexpr std::uint64_t kOperationsPerLengthUnit = 100'000'000;
inline constexpr int kMinTestLength = 1;
inline constexpr int kMaxTestLength = 99'999;
constexpr std::uint64_t OperationCountForLength(int testLength) {
    return static_cast<std::uint64_t>(testLength) * kOperationsPerLengthUnit;
}
// The largest count a run can be asked for through the test length.
inline constexpr std::uint64_t kMaxOperationCount = OperationCountForLength(kMaxTestLength);

// Round to nearest with ties to even, as the stored results are defined, and
// store the signed 64-bit bits; values past that range saturate.
std::uint64_t StoreRounded(double v);

// Process-wide selection, written only by the user-interface thread.
extern std::string TestType;
extern std::uint64_t OperationCount;

// Runs the workload named by testType for operationCount. Returns false, with
// result untouched, when the text names no workload, the iteration count does
// not fit 64 bits or the loop was stopped.
bool RunWorkload(std::string_view testType, std::uint64_t operationCount, std::uint64_t& result,
                 const WorkloadControl& control = {});
// Reads the process-wide TestType and OperationCount at the moment of the call.
void RunWorkload(std::uint64_t& result);

} // namespace zentaro
