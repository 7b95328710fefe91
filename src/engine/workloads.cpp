#include "workloads.h"

#include <algorithm>
#include <cmath>
#include <limits>

// Each loop keeps its loop-carried value in a register and passes it through an
// empty asm statement once per iteration. The statement emits no instruction,
// but the compiler must assume it changed the value, so it cannot fold the loop
// into a closed form, spread it over vector lanes or reorder iterations.
#if defined(__GNUC__)
#define ZENTARO_KEEP_INT(v) asm volatile("" : "+r"(v))
#define ZENTARO_KEEP_INT_TAGGED(v, tag) asm volatile("# " tag : "+r"(v))
#if defined(__x86_64__) || defined(__i386__)
#define ZENTARO_KEEP_DOUBLE(v) asm volatile("" : "+x"(v))
#elif defined(__aarch64__)
#define ZENTARO_KEEP_DOUBLE(v) asm volatile("" : "+w"(v))
#else
#define ZENTARO_KEEP_DOUBLE(v) asm volatile("" : "+m"(v))
#endif
#define ZENTARO_NOINLINE __attribute__((noinline))
#else
#include <atomic>
#define ZENTARO_KEEP_INT(v) std::atomic_signal_fence(std::memory_order_seq_cst)
#define ZENTARO_KEEP_INT_TAGGED(v, tag) std::atomic_signal_fence(std::memory_order_seq_cst)
#define ZENTARO_KEEP_DOUBLE(v) std::atomic_signal_fence(std::memory_order_seq_cst)
#define ZENTARO_NOINLINE __declspec(noinline)
#endif

namespace zentaro {

std::string TestType;
std::uint64_t OperationCount = 0;

namespace {

// i stays below 2^53 for every n a run produces, so the signed conversion is
// exact and avoids the unsigned-to-double fix-up sequence.
inline double ToDouble(std::uint64_t i) {
    return static_cast<double>(static_cast<std::int64_t>(i));
}

} // namespace

// Saturating at the signed 64-bit range so that sums past it (very long
// Default runs) store a defined value instead of undefined behaviour.
std::uint64_t StoreRounded(double v) {
    const double r = std::nearbyint(v);
    std::int64_t out;
    if (!(r == r))
        out = 0;
    else if (r >= 9223372036854775808.0)
        out = std::numeric_limits<std::int64_t>::max();
    else if (r < -9223372036854775808.0)
        out = std::numeric_limits<std::int64_t>::min();
    else
        out = static_cast<std::int64_t>(r);
    return static_cast<std::uint64_t>(out);
}

namespace {

// The inner loops, one non-inlined function each, over i = first .. end - 1.
// The != test lets end wrap to 0, so the last counter value can be the largest
// 64-bit one. It is also the loop shape whose speed depended least on where
// the linker placed it.

ZENTARO_NOINLINE double DefaultChunk(double v, std::uint64_t i, std::uint64_t end) {
    for (; i != end; ++i) {
        v = v + std::sqrt(ToDouble(i));
        ZENTARO_KEEP_DOUBLE(v);
    }
    return v;
}

ZENTARO_NOINLINE std::uint64_t IntegerChunk(std::uint64_t a, std::uint64_t i, std::uint64_t end) {
    for (; i != end; ++i) {
        // a * 17 + i as (a << 4) + (a + i): the shift and the first add run
        // side by side, a two-cycle chain instead of shift, add, add. The
        // barriers keep the compiler from re-forming the multiply or
        // re-associating the sum into a serial chain.
        std::uint64_t shifted = a << 4;
        ZENTARO_KEEP_INT(shifted);
        std::uint64_t plus = a + i;
        ZENTARO_KEEP_INT(plus);
        a = shifted + plus;
        ZENTARO_KEEP_INT(a);
    }
    return a;
}

ZENTARO_NOINLINE double FloatingPointChunk(double v, std::uint64_t i, std::uint64_t end) {
    for (; i != end; ++i) {
        v = v + std::sin(ToDouble(i) * 0.001);
        ZENTARO_KEEP_DOUBLE(v);
    }
    return v;
}

ZENTARO_NOINLINE double TrigonometricChunk(double v, std::uint64_t i, std::uint64_t end) {
    constexpr double kPi = 3.141592653589793;
    for (; i != end; ++i) {
        const double b = ToDouble(i % 360) * kPi / 180.0;
        v = v + std::sin(b) * std::cos(b);
        v = v + std::sqrt(ToDouble(i % 1000 + 1));
        ZENTARO_KEEP_DOUBLE(v);
    }
    return v;
}

ZENTARO_NOINLINE std::uint64_t BranchChunk(std::uint64_t a, std::uint64_t i, std::uint64_t end) {
    for (; i != end; ++i) {
        // A barrier in each arm, with different text so the arms are not
        // merged, keeps a real conditional branch instead of a cmov.
        if ((i & 1) == 0) {
            a += i;
            ZENTARO_KEEP_INT_TAGGED(a, "even");
        } else {
            a -= i;
            ZENTARO_KEEP_INT_TAGGED(a, "odd");
        }
    }
    return a;
}

ZENTARO_NOINLINE std::uint64_t BitwiseChunk(std::uint64_t a, std::uint64_t i, std::uint64_t end) {
    for (; i != end; ++i) {
        // (a << 1) & 0xFFFFFFFF is the low 32 bits of a + a: one instruction,
        // in parallel with the xor, so the chain is two cycles.
        std::uint64_t low = static_cast<std::uint32_t>(a + a);
        ZENTARO_KEEP_INT(low);
        a = (a ^ i) | low;
        ZENTARO_KEEP_INT(a);
    }
    return a;
}

// Runs chunk(state, first, end) over 1..n in chunks, publishing progress and
// honouring a stop request between chunks. Returns false when stopped.
template <typename State, typename Chunk>
bool RunChunked(State& state, std::uint64_t n, const WorkloadControl& control, Chunk chunk) {
    std::uint64_t done = 0;
    while (done < n) {
        if (control.stop && control.stop->load(std::memory_order_relaxed))
            return false;
        const std::uint64_t count = std::min(n - done, kWorkloadChunk);
        state = chunk(state, done + 1, done + count + 1);
        done += count;
        if (control.progress)
            control.progress->store(done, std::memory_order_relaxed);
    }
    return true;
}

} // namespace

bool DefaultWorkload(std::uint64_t n, std::uint64_t& result, const WorkloadControl& control) {
    double v = 0.0;
    if (!RunChunked(v, n, control, DefaultChunk))
        return false;
    result = StoreRounded(v);
    return true;
}

bool IntegerArithmeticWorkload(std::uint64_t n, std::uint64_t& result,
                               const WorkloadControl& control) {
    std::uint64_t a = 1;
    if (!RunChunked(a, n, control, IntegerChunk))
        return false;
    result = a;
    return true;
}

bool FloatingPointWorkload(std::uint64_t n, std::uint64_t& result, const WorkloadControl& control) {
    double v = 1.0;
    if (!RunChunked(v, n, control, FloatingPointChunk))
        return false;
    result = StoreRounded(v);
    return true;
}

bool TrigonometricWorkload(std::uint64_t n, std::uint64_t& result, const WorkloadControl& control) {
    double v = 1.0;
    if (!RunChunked(v, n, control, TrigonometricChunk))
        return false;
    result = StoreRounded(v * 1000.0);
    return true;
}

bool BranchWorkload(std::uint64_t n, std::uint64_t& result, const WorkloadControl& control) {
    std::uint64_t a = 0;
    if (!RunChunked(a, n, control, BranchChunk))
        return false;
    result = a;
    return true;
}

bool BitwiseLogicWorkload(std::uint64_t n, std::uint64_t& result, const WorkloadControl& control) {
    std::uint64_t a = 0xF0F0F0F0F0F0F0F0ull;
    if (!RunChunked(a, n, control, BitwiseChunk))
        return false;
    result = a;
    return true;
}

bool RunWorkloadOf(WorkloadKind kind, std::uint64_t n, std::uint64_t& result,
                   const WorkloadControl& control) {
    switch (kind) {
    case WorkloadKind::Default:
        return DefaultWorkload(n, result, control);
    case WorkloadKind::IntegerArithmetic:
        return IntegerArithmeticWorkload(n, result, control);
    case WorkloadKind::FloatingPoint:
        return FloatingPointWorkload(n, result, control);
    case WorkloadKind::Trigonometric:
        return TrigonometricWorkload(n, result, control);
    case WorkloadKind::Branch:
        return BranchWorkload(n, result, control);
    case WorkloadKind::BitwiseLogic:
        return BitwiseLogicWorkload(n, result, control);
    }
    return false;
}

std::string_view TestTypeValue(WorkloadKind kind) {
    switch (kind) {
    case WorkloadKind::Default:
        return {};
    case WorkloadKind::IntegerArithmetic:
        return "Integer Arithmetic";
    case WorkloadKind::FloatingPoint:
        return "Floating Point Arithmetic";
    case WorkloadKind::Trigonometric:
        return "Trigonometric";
    case WorkloadKind::Branch:
        return "Branch Prediction and Control";
    case WorkloadKind::BitwiseLogic:
        return "Bitwise Logic";
    }
    return {};
}

std::string_view WorkloadDisplayName(WorkloadKind kind) {
    return kind == WorkloadKind::Default ? std::string_view("Default") : TestTypeValue(kind);
}

std::optional<WorkloadKind> WorkloadForTestType(std::string_view testType) {
    // Compared whole and case-sensitively, in the order of the menu.
    for (WorkloadKind kind : kAllWorkloads) {
        if (kind != WorkloadKind::Default && testType == TestTypeValue(kind))
            return kind;
    }
    if (testType.empty())
        return WorkloadKind::Default;
    return std::nullopt;
}

std::optional<WorkloadKind> WorkloadForName(std::string_view name) {
    auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    for (WorkloadKind kind : kAllWorkloads) {
        const std::string_view candidate = WorkloadDisplayName(kind);
        if (candidate.size() == name.size() &&
            std::equal(name.begin(), name.end(), candidate.begin(),
                       [&](char x, char y) { return lower(x) == lower(y); }))
            return kind;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> IterationsFor(WorkloadKind kind, std::uint64_t operationCount) {
    switch (kind) {
    case WorkloadKind::IntegerArithmetic:
    case WorkloadKind::BitwiseLogic:
        if (operationCount > std::numeric_limits<std::uint64_t>::max() / 8)
            return std::nullopt;
        return operationCount * 8;
    case WorkloadKind::FloatingPoint:
    case WorkloadKind::Trigonometric:
        return operationCount / 5;
    case WorkloadKind::Default:
    case WorkloadKind::Branch:
        return operationCount;
    }
    return std::nullopt;
}

bool RunWorkload(std::string_view testType, std::uint64_t operationCount, std::uint64_t& result,
                 const WorkloadControl& control) {
    const std::optional<WorkloadKind> kind = WorkloadForTestType(testType);
    if (!kind)
        return false;
    const std::optional<std::uint64_t> n = IterationsFor(*kind, operationCount);
    if (!n)
        return false;
    return RunWorkloadOf(*kind, *n, result, control);
}

void RunWorkload(std::uint64_t& result) {
    RunWorkload(TestType, OperationCount, result);
}

} // namespace zentaro
