#include "engine/workloads.h"

#include <QtTest>
#include <cmath>
#include <limits>

using namespace zentaro;

Q_DECLARE_METATYPE(zentaro::WorkloadKind)

namespace {

// Straightforward versions of the six loops, kept apart from the engine's
// tuned ones so that a rewrite of those cannot change a result unnoticed.
std::uint64_t Rounded(double v) {
    return static_cast<std::uint64_t>(std::llrint(v));
}

std::uint64_t Reference(WorkloadKind kind, std::uint64_t n) {
    switch (kind) {
    case WorkloadKind::Default: {
        double v = 0.0;
        for (std::uint64_t i = 1; i <= n; ++i)
            v = v + std::sqrt(static_cast<double>(i));
        return Rounded(v);
    }
    case WorkloadKind::IntegerArithmetic: {
        std::uint64_t a = 1;
        for (std::uint64_t i = 1; i <= n; ++i)
            a = a * 17 + i;
        return a;
    }
    case WorkloadKind::FloatingPoint: {
        double v = 1.0;
        for (std::uint64_t i = 1; i <= n; ++i)
            v = v + std::sin(static_cast<double>(i) * 0.001);
        return Rounded(v);
    }
    case WorkloadKind::Trigonometric: {
        double v = 1.0;
        for (std::uint64_t i = 1; i <= n; ++i) {
            const double b = static_cast<double>(i % 360) * 3.141592653589793 / 180.0;
            const double s = std::sin(b);
            const double c = std::cos(b);
            v = v + s * c;
            v = v + std::sqrt(static_cast<double>(i % 1000 + 1));
        }
        return Rounded(v * 1000.0);
    }
    case WorkloadKind::Branch: {
        std::uint64_t a = 0;
        for (std::uint64_t i = 1; i <= n; ++i) {
            if (i % 2 == 0)
                a = a + i;
            else
                a = a - i;
        }
        return a;
    }
    case WorkloadKind::BitwiseLogic: {
        std::uint64_t a = 0xF0F0F0F0F0F0F0F0ull;
        for (std::uint64_t i = 1; i <= n; ++i)
            a = (a ^ i) | ((a << 1) & 0x00000000FFFFFFFFull);
        return a;
    }
    }
    return 0;
}

} // namespace

class TestWorkloads : public QObject {
    Q_OBJECT

private slots:
    void storedResults_data();
    void storedResults();
    void matchesReference_data();
    void matchesReference();
    void chunkBoundaries();
    void testTypeDispatch_data();
    void testTypeDispatch();
    void iterationsPerOperationCount_data();
    void iterationsPerOperationCount();
    void wrappingCountRunsNothing();
    void operationCountFromLength();
    void storeRoundedSaturates_data();
    void storeRoundedSaturates();
    void stopLeavesResultUntouched();
    void processWideSelection();
};

void TestWorkloads::storedResults_data() {
    QTest::addColumn<WorkloadKind>("kind");
    QTest::addColumn<quint64>("n");
    QTest::addColumn<quint64>("expected");

    const quint64 big = 0xF0F0F0F0F0F0F0F0ull;
    QTest::newRow("default n=0") << WorkloadKind::Default << quint64(0) << quint64(0);
    QTest::newRow("integer n=0") << WorkloadKind::IntegerArithmetic << quint64(0) << quint64(1);
    QTest::newRow("float n=0") << WorkloadKind::FloatingPoint << quint64(0) << quint64(1);
    QTest::newRow("trig n=0") << WorkloadKind::Trigonometric << quint64(0) << quint64(1000);
    QTest::newRow("branch n=0") << WorkloadKind::Branch << quint64(0) << quint64(0);
    QTest::newRow("bitwise n=0") << WorkloadKind::BitwiseLogic << quint64(0) << big;

    const quint64 integer[] = {18, 308, 5239, 89067};
    const quint64 branch[] = {0xFFFFFFFFFFFFFFFFull, 1, 0xFFFFFFFFFFFFFFFEull, 2};
    const quint64 bitwise[] = {0xF0F0F0F0F1F1F1F1ull, 0xF0F0F0F0F3F3F3F3ull, 0xF0F0F0F0F7F7F7F6ull,
                               0xF0F0F0F0FFFFFFFEull};
    for (int n = 1; n <= 4; ++n) {
        QTest::addRow("integer n=%d", n)
            << WorkloadKind::IntegerArithmetic << quint64(n) << integer[n - 1];
        QTest::addRow("branch n=%d", n) << WorkloadKind::Branch << quint64(n) << branch[n - 1];
        QTest::addRow("bitwise n=%d", n)
            << WorkloadKind::BitwiseLogic << quint64(n) << bitwise[n - 1];
    }

    QTest::newRow("integer n=10") << WorkloadKind::IntegerArithmetic << quint64(10)
                                  << quint64(2149868495400ull);
    QTest::newRow("branch n=10") << WorkloadKind::Branch << quint64(10) << quint64(5);
    QTest::newRow("bitwise n=10") << WorkloadKind::BitwiseLogic << quint64(10)
                                  << quint64(0xF0F0F0F0FFFFFFFFull);
    QTest::newRow("float n=10") << WorkloadKind::FloatingPoint << quint64(10) << quint64(1);
    QTest::newRow("trig n=10") << WorkloadKind::Trigonometric << quint64(10) << quint64(26734);
    QTest::newRow("default n=10") << WorkloadKind::Default << quint64(10) << quint64(22);
}

void TestWorkloads::storedResults() {
    QFETCH(WorkloadKind, kind);
    QFETCH(quint64, n);
    QFETCH(quint64, expected);
    std::uint64_t result = 0xDEADBEEF;
    QVERIFY(RunWorkloadOf(kind, n, result));
    QCOMPARE(quint64(result), expected);
}

void TestWorkloads::matchesReference_data() {
    QTest::addColumn<WorkloadKind>("kind");
    QTest::addColumn<quint64>("n");
    for (WorkloadKind kind : kAllWorkloads) {
        const QByteArray name = QByteArray(WorkloadDisplayName(kind).data(),
                                           qsizetype(WorkloadDisplayName(kind).size()));
        for (quint64 n : {quint64(12'345), quint64(1'000'003)})
            QTest::addRow("%s n=%llu", name.constData(), n) << kind << n;
    }
}

void TestWorkloads::matchesReference() {
    QFETCH(WorkloadKind, kind);
    QFETCH(quint64, n);
    std::uint64_t result = 0;
    QVERIFY(RunWorkloadOf(kind, n, result));
    QCOMPARE(quint64(result), quint64(Reference(kind, n)));
}

// The loops run in chunks; the state must carry across every boundary.
void TestWorkloads::chunkBoundaries() {
    for (WorkloadKind kind : kAllWorkloads) {
        for (std::uint64_t n :
             {kWorkloadChunk - 1, kWorkloadChunk, kWorkloadChunk + 1, 2 * kWorkloadChunk + 7}) {
            std::uint64_t result = 0;
            QVERIFY(RunWorkloadOf(kind, n, result));
            QCOMPARE(quint64(result), quint64(Reference(kind, n)));
        }
    }
}

void TestWorkloads::testTypeDispatch_data() {
    QTest::addColumn<QString>("testType");
    QTest::addColumn<bool>("runs");
    QTest::addColumn<quint64>("expected"); // stored for OperationCount 10

    // Integer and Bitwise loop 80 times, Floating Point and Trigonometric twice.
    QTest::newRow("empty is Default")
        << QString() << true << quint64(Reference(WorkloadKind::Default, 10));
    QTest::newRow("Integer Arithmetic")
        << "Integer Arithmetic" << true << quint64(Reference(WorkloadKind::IntegerArithmetic, 80));
    QTest::newRow("Floating Point Arithmetic")
        << "Floating Point Arithmetic" << true
        << quint64(Reference(WorkloadKind::FloatingPoint, 2));
    QTest::newRow("Trigonometric")
        << "Trigonometric" << true << quint64(Reference(WorkloadKind::Trigonometric, 2));
    QTest::newRow("Branch Prediction and Control")
        << "Branch Prediction and Control" << true << quint64(Reference(WorkloadKind::Branch, 10));
    QTest::newRow("Bitwise Logic")
        << "Bitwise Logic" << true << quint64(Reference(WorkloadKind::BitwiseLogic, 80));
    QTest::newRow("wrong case runs nothing") << "bitwise logic" << false << quint64(0);
    QTest::newRow("'Default' is not the stored value") << "Default" << false << quint64(0);
    QTest::newRow("trailing blank runs nothing") << "Trigonometric " << false << quint64(0);
}

void TestWorkloads::testTypeDispatch() {
    QFETCH(QString, testType);
    QFETCH(bool, runs);
    QFETCH(quint64, expected);
    const quint64 untouched = 0x1234567890ABCDEFull;
    std::uint64_t result = untouched;
    QCOMPARE(RunWorkload(testType.toStdString(), 10, result), runs);
    QCOMPARE(quint64(result), runs ? expected : untouched);
}

void TestWorkloads::iterationsPerOperationCount_data() {
    QTest::addColumn<WorkloadKind>("kind");
    QTest::addColumn<quint64>("operationCount");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<quint64>("iterations");
    const quint64 one = OperationCountForLength(1);
    const quint64 max = OperationCountForLength(99'999);
    const quint64 all = std::numeric_limits<quint64>::max();
    const quint64 eighth = all / 8; // the largest count whose eightfold fits
    QTest::newRow("default length 1") << WorkloadKind::Default << one << true << one;
    QTest::newRow("branch length 1") << WorkloadKind::Branch << one << true << one;
    QTest::newRow("integer length 1")
        << WorkloadKind::IntegerArithmetic << one << true << quint64(800'000'000);
    QTest::newRow("bitwise length 1")
        << WorkloadKind::BitwiseLogic << one << true << quint64(800'000'000);
    QTest::newRow("float length 1")
        << WorkloadKind::FloatingPoint << one << true << quint64(20'000'000);
    QTest::newRow("trig length 1")
        << WorkloadKind::Trigonometric << one << true << quint64(20'000'000);
    QTest::newRow("integer length 99999")
        << WorkloadKind::IntegerArithmetic << max << true << quint64(79'999'200'000'000ull);
    QTest::newRow("bitwise length 99999")
        << WorkloadKind::BitwiseLogic << max << true << quint64(79'999'200'000'000ull);
    QTest::newRow("integer, eightfold just fits")
        << WorkloadKind::IntegerArithmetic << eighth << true << quint64(all - 7);
    QTest::newRow("integer, eightfold wraps")
        << WorkloadKind::IntegerArithmetic << eighth + 1 << false << quint64(0);
    QTest::newRow("bitwise, eightfold wraps")
        << WorkloadKind::BitwiseLogic << quint64(2305843009213693952ull) << false << quint64(0);
    QTest::newRow("default, largest count") << WorkloadKind::Default << all << true << all;
    QTest::newRow("trig, largest count")
        << WorkloadKind::Trigonometric << all << true << quint64(all / 5);
    QTest::newRow("not one of the six")
        << static_cast<WorkloadKind>(42) << one << false << quint64(0);
}

void TestWorkloads::iterationsPerOperationCount() {
    QFETCH(WorkloadKind, kind);
    QFETCH(quint64, operationCount);
    QFETCH(bool, fits);
    QFETCH(quint64, iterations);
    const std::optional<std::uint64_t> n = IterationsFor(kind, operationCount);
    QCOMPARE(n.has_value(), fits);
    if (fits)
        QCOMPARE(quint64(*n), iterations);
}

// A count whose iterations would wrap runs nothing rather than a shorter loop.
void TestWorkloads::wrappingCountRunsNothing() {
    for (const char* type : {"Integer Arithmetic", "Bitwise Logic"}) {
        std::uint64_t result = 77;
        QVERIFY(!RunWorkload(type, 2305843009213693952ull, result));
        QCOMPARE(quint64(result), quint64(77));
    }
}

void TestWorkloads::operationCountFromLength() {
    QCOMPARE(quint64(OperationCountForLength(1)), quint64(100'000'000));
    QCOMPARE(quint64(OperationCountForLength(22)), quint64(2'200'000'000ull));
    QCOMPARE(quint64(OperationCountForLength(99'999)), quint64(9'999'900'000'000ull));
    for (int length = 1; length <= 99'999; ++length)
        QVERIFY(OperationCountForLength(length) == quint64(length) * 100'000'000ull);
}

void TestWorkloads::storeRoundedSaturates_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<quint64>("stored");
    QTest::newRow("tie to even down") << 2.5 << quint64(2);
    QTest::newRow("tie to even up") << 3.5 << quint64(4);
    QTest::newRow("negative tie") << -2.5 << quint64(-2ll);
    QTest::newRow("largest exact below 2^63")
        << 9223372036854774784.0 << quint64(9223372036854774784ull);
    QTest::newRow("2^63 saturates") << 9223372036854775808.0 << quint64(0x7FFFFFFFFFFFFFFFull);
    QTest::newRow("far past saturates") << 1e30 << quint64(0x7FFFFFFFFFFFFFFFull);
    QTest::newRow("far below saturates") << -1e30 << quint64(0x8000000000000000ull);
}

// Default test lengths of 57,631 and more sum past the signed 64-bit range.
void TestWorkloads::storeRoundedSaturates() {
    QFETCH(double, value);
    QFETCH(quint64, stored);
    QCOMPARE(quint64(StoreRounded(value)), stored);
}

void TestWorkloads::stopLeavesResultUntouched() {
    std::atomic<bool> stop{true};
    std::atomic<std::uint64_t> progress{0};
    const WorkloadControl control{&stop, &progress};
    for (WorkloadKind kind : kAllWorkloads) {
        std::uint64_t result = 77;
        QVERIFY(!RunWorkloadOf(kind, 79'999'200'000'000ull, result, control));
        QCOMPARE(quint64(result), quint64(77));
        QCOMPARE(quint64(progress.load()), quint64(0));
    }
    // Without a stop, progress reaches n exactly.
    stop = false;
    std::uint64_t result = 0;
    QVERIFY(RunWorkloadOf(WorkloadKind::Branch, 3 * kWorkloadChunk + 5, result, control));
    QCOMPARE(quint64(progress.load()), quint64(3 * kWorkloadChunk + 5));
}

void TestWorkloads::processWideSelection() {
    TestType = "Integer Arithmetic";
    OperationCount = 1;
    std::uint64_t result = 0;
    RunWorkload(result);
    QCOMPARE(quint64(result), Reference(WorkloadKind::IntegerArithmetic, 8));
    TestType = "no such type";
    result = 5;
    RunWorkload(result);
    QCOMPARE(quint64(result), quint64(5));
    TestType.clear();
    OperationCount = 0;
}

QTEST_GUILESS_MAIN(TestWorkloads)
#include "test_workloads.moc"
