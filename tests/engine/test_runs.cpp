#include "engine/callqueue.h"
#include "engine/run.h"

#include <QtTest>
#include <cmath>
#include <thread>

using namespace zentaro;

namespace {

// Collects the outcome on the test's thread, as a window's event loop would.
struct Receiver {
    std::shared_ptr<CallQueue> queue = CallQueue::Create();
    std::optional<RunOutcome> outcome;
    std::thread::id displayThread;

    DisplayStep display() {
        return [this](const RunOutcome& o) {
            outcome = o;
            displayThread = std::this_thread::get_id();
        };
    }
    // Bounded wait; returns whether the display step ran.
    bool wait(int seconds = 60) {
        QDeadlineTimer deadline(seconds * 1000);
        while (!outcome && !deadline.hasExpired())
            queue->runOne(std::chrono::milliseconds(50));
        return outcome.has_value();
    }
};

const std::string kBranch(TestTypeValue(WorkloadKind::Branch));

} // namespace

class TestRuns : public QObject {
    Q_OBJECT

private slots:
    void scoreArithmetic();
    void singleCoreRunsOnWorkerAndPostsBack();
    void multiCoreReplicatesWork_data();
    void multiCoreReplicatesWork();
    void tooShortHasNoSpeed();
    void unknownTypeFails();
    void stopEndsLongRunPromptly_data();
    void stopEndsLongRunPromptly();
    void abandonedRunIsSafe();
};

void TestRuns::scoreArithmetic() {
    // 100,000,000 operations in 2,500 ms: 40 million ops/sec, rated 600.
    QCOMPARE(ElapsedSecondsFromMilliseconds(2500), 2.5);
    QCOMPARE(ElapsedSecondsFromMilliseconds(1234), 1.234);
    QCOMPARE(SingleCoreRatingValue(100'000'000 / 2.5), 600.0);
    // Eight workers, 4,000 ms: 200 million ops/sec, rated 300.
    QCOMPARE(MultiCoreRatingValue(800'000'000 / 4.0), 300.0);
    RunOutcome single;
    single.score = 40'000'000;
    QCOMPARE(single.ratingValue(), 600.0);
    single.multiCore = true;
    QCOMPARE(single.ratingValue(), 60.0);
}

void TestRuns::singleCoreRunsOnWorkerAndPostsBack() {
    Receiver r;
    const RunRequest request{std::string(TestTypeValue(WorkloadKind::IntegerArithmetic)),
                             5'000'000};
    auto handle = StartSingleCoreRun(request, r.queue->poster(), r.display());
    QVERIFY(r.wait());
    QCOMPARE(r.displayThread, std::this_thread::get_id());
    QVERIFY(handle->finished());
    const RunOutcome& o = *r.outcome;
    QVERIFY(!o.multiCore);
    QCOMPARE(o.threads, 1u);
    QCOMPARE(quint64(o.totalOperations), quint64(5'000'000));
    QCOMPARE(o.results.size(), size_t(1));
    std::uint64_t expected = 0;
    RunWorkloadOf(WorkloadKind::IntegerArithmetic, 40'000'000, expected);
    QCOMPARE(quint64(o.results[0]), quint64(expected));
    if (o.hasResult()) {
        QVERIFY(o.elapsedMilliseconds > 0);
        QCOMPARE(o.score, 5'000'000 / o.elapsedSeconds);
    } else {
        QCOMPARE(int(o.status), int(RunOutcome::Status::TooShort));
    }
    QVERIFY(std::isfinite(o.score));
}

void TestRuns::multiCoreReplicatesWork_data() {
    QTest::addColumn<unsigned>("workers");
    QTest::newRow("one worker") << 1u;
    QTest::newRow("three workers") << 3u;
    QTest::newRow("more workers than cores") << 5u;
}

void TestRuns::multiCoreReplicatesWork() {
    QFETCH(unsigned, workers);
    Receiver r;
    const RunRequest request{kBranch, 20'000'000};
    StartMultiCoreRun(request, workers, r.queue->poster(), r.display());
    QVERIFY(r.wait());
    QCOMPARE(r.displayThread, std::this_thread::get_id());
    const RunOutcome& o = *r.outcome;
    QVERIFY(o.multiCore);
    QCOMPARE(o.threads, workers);
    QCOMPARE(quint64(o.totalOperations), quint64(20'000'000) * workers);
    std::uint64_t expected = 0;
    RunWorkloadOf(WorkloadKind::Branch, 20'000'000, expected);
    QCOMPARE(o.results.size(), size_t(workers));
    for (std::uint64_t result : o.results)
        QCOMPARE(quint64(result), quint64(expected));
    if (o.hasResult())
        QCOMPARE(o.score, double(o.totalOperations) / o.elapsedSeconds);
}

// A run over in under a millisecond has no speed: no inf, no nan, and the
// display step still comes, saying so.
void TestRuns::tooShortHasNoSpeed() {
    for (bool multi : {false, true}) {
        Receiver r;
        const RunRequest request{kBranch, 1};
        if (multi)
            StartMultiCoreRun(request, 2, r.queue->poster(), r.display());
        else
            StartSingleCoreRun(request, r.queue->poster(), r.display());
        QVERIFY(r.wait());
        const RunOutcome& o = *r.outcome;
        if (o.elapsedMilliseconds == 0) {
            QCOMPARE(int(o.status), int(RunOutcome::Status::TooShort));
            QVERIFY(!o.hasResult());
            QCOMPARE(o.score, 0.0);
        }
        QVERIFY(std::isfinite(o.score));
        QVERIFY(std::isfinite(o.ratingValue()));
    }
}

void TestRuns::unknownTypeFails() {
    Receiver r;
    StartMultiCoreRun({"Quantum", 100}, 2, r.queue->poster(), r.display());
    QVERIFY(r.wait());
    QCOMPARE(int(r.outcome->status), int(RunOutcome::Status::Failed));
    QVERIFY(!r.outcome->hasResult());
}

void TestRuns::stopEndsLongRunPromptly_data() {
    QTest::addColumn<bool>("multi");
    QTest::newRow("single-core") << false;
    QTest::newRow("multi-core") << true;
}

// Test length 99,999 is hours of work; a stop must end it within a chunk.
void TestRuns::stopEndsLongRunPromptly() {
    QFETCH(bool, multi);
    Receiver r;
    const RunRequest request{std::string(TestTypeValue(WorkloadKind::Trigonometric)),
                             OperationCountForLength(99'999)};
    auto handle = multi ? StartMultiCoreRun(request, 2, r.queue->poster(), r.display())
                        : StartSingleCoreRun(request, r.queue->poster(), r.display());
    QTRY_VERIFY_WITH_TIMEOUT(handle->progress() > 0.0, 30000);
    QVERIFY(handle->progress() < 1.0);
    handle->requestStop();
    QVERIFY(r.wait(30));
    QCOMPARE(int(r.outcome->status), int(RunOutcome::Status::Stopped));
    QVERIFY(!r.outcome->hasResult());
}

// Nobody collects the outcome and the poster's owner is gone: the worker
// must still finish cleanly.
void TestRuns::abandonedRunIsSafe() {
    std::shared_ptr<RunHandle> handle;
    {
        Receiver r;
        handle = StartSingleCoreRun({kBranch, OperationCountForLength(99'999)}, r.queue->poster(),
                                    r.display());
    }
    handle->requestStop();
    QTRY_VERIFY_WITH_TIMEOUT(handle->finished(), 30000);
}

QTEST_GUILESS_MAIN(TestRuns)
#include "test_runs.moc"
