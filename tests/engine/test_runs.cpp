#include "engine/callqueue.h"
#include "engine/rating.h"
#include "engine/resulttext.h"
#include "engine/run.h"

#include <QtTest>
#include <atomic>
#include <chrono>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>

using namespace zentaro;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(zentaro::WorkloadKind)

namespace {

// A stopwatch that gives the readings it was told to, in order, and repeats
// the last one; it counts how often it was read.
struct ScriptedClock {
    struct State {
        std::mutex mutex;
        std::vector<std::chrono::nanoseconds> readings;
        std::size_t reads = 0;
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    explicit ScriptedClock(std::vector<std::chrono::nanoseconds> readings) {
        state->readings = std::move(readings);
    }
    MonotonicClock clock() const {
        return [state = state] {
            std::lock_guard lock(state->mutex);
            const std::size_t i = std::min(state->reads++, state->readings.size() - 1);
            return state->readings[i];
        };
    }
    std::size_t reads() const {
        std::lock_guard lock(state->mutex);
        return state->reads;
    }
};

// A start reading far from zero, so that nothing depends on the clock's epoch.
constexpr std::chrono::nanoseconds kStart = 987'654'321'000ns;

ScriptedClock Span(std::chrono::nanoseconds span) {
    return ScriptedClock({kStart, kStart + span});
}

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

RunOutcome RunBlocking(const RunRequest& request, unsigned workers, bool multi) {
    return multi ? RunMultiCore(request, workers, MakeRunHandle(request, workers))
                 : RunSingleCore(request, MakeRunHandle(request, 1));
}

std::uint64_t Expected(WorkloadKind kind, std::uint64_t operationCount) {
    std::uint64_t result = 0;
    RunWorkloadOf(kind, *IterationsFor(kind, operationCount), result);
    return result;
}

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

class TestRuns : public QObject {
    Q_OBJECT

private slots:
    void fromStopwatchToRating_data();
    void fromStopwatchToRating();
    void wholeMilliseconds_data();
    void wholeMilliseconds();
    void singleCoreRunsOnWorkerAndPostsBack();
    void multiCoreReplicatesWork_data();
    void multiCoreReplicatesWork();
    void refusedRequests_data();
    void refusedRequests();
    void stopEndsLongRunPromptly_data();
    void stopEndsLongRunPromptly();
    void abandonedRunIsSafe();
    void threadLibraryFailures_data();
    void threadLibraryFailures();
};

void TestRuns::fromStopwatchToRating_data() {
    QTest::addColumn<unsigned>("workers"); // 0: a single-core run
    QTest::addColumn<qint64>("milliseconds");
    QTest::addColumn<quint64>("total");
    QTest::addColumn<double>("score");
    QTest::addColumn<QString>("elapsed");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<double>("ratingValue");
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("covered");
    QTest::newRow("single-core, 2,500 ms")
        << 0u << qint64(2500) << quint64(100'000'000) << 40'000'000.0 << "2.50 sec"
        << "40.00 million ops/sec" << 600.0 << "Very Bad" << 80;
    QTest::newRow("multi-core, 8 workers, 4,000 ms")
        << 8u << qint64(4000) << quint64(800'000'000) << 200'000'000.0 << "4.00 sec"
        << "200.00 million ops/sec" << 300.0 << "Very Bad" << 90;
    QTest::newRow("multi-core, 1 worker rates a tenth")
        << 1u << qint64(2500) << quint64(100'000'000) << 40'000'000.0 << "2.50 sec"
        << "40.00 million ops/sec" << 60.0 << "Very Bad" << 98;
}

// 100,000,000 operations per worker, timed by a stopwatch the test controls,
// all the way to the texts, the rating value, its word and the cover.
void TestRuns::fromStopwatchToRating() {
    QFETCH(unsigned, workers);
    QFETCH(qint64, milliseconds);
    QFETCH(quint64, total);
    QFETCH(double, score);
    QFETCH(QString, elapsed);
    QFETCH(QString, speed);
    QFETCH(double, ratingValue);
    QFETCH(QString, word);
    QFETCH(int, covered);
    const ScriptedClock clock = Span(std::chrono::milliseconds(milliseconds));
    const RunRequest request{WorkloadKind::Branch, 100'000'000, clock.clock()};
    const RunOutcome o = RunBlocking(request, workers, workers > 0);

    QCOMPARE(int(o.status), int(RunOutcome::Status::Completed));
    QCOMPARE(clock.reads(), std::size_t(2)); // one start, one stop
    QCOMPARE(quint64(o.totalOperations), total);
    QCOMPARE(quint64(o.elapsedMilliseconds), quint64(milliseconds));
    QCOMPARE(o.score, score);
    QCOMPARE(Q(ElapsedText(o.elapsedSeconds, ".")), elapsed);
    QCOMPARE(Q(SpeedText(o.score, ".")), speed);
    QCOMPARE(o.ratingValue(), ratingValue);
    QCOMPARE(Q(RatingWord(o.ratingValue())), word);
    QCOMPARE(CoveredPercent(o.ratingValue()), covered);
}

void TestRuns::wholeMilliseconds_data() {
    QTest::addColumn<bool>("multi");
    QTest::addColumn<qint64>("nanoseconds");
    QTest::addColumn<int>("status");
    QTest::addColumn<quint64>("milliseconds");
    QTest::addColumn<QString>("elapsed");
    QTest::addColumn<double>("score"); // 1,234 operations per worker
    const int completed = int(RunOutcome::Status::Completed);
    const int tooShort = int(RunOutcome::Status::TooShort);
    QTest::newRow("1234.9 ms counts as 1234")
        << false << qint64(1'234'900'000) << completed << quint64(1234) << "1.23 sec" << 1000.0;
    QTest::newRow("exactly 1 ms") << false << qint64(1'000'000) << completed << quint64(1)
                                  << "0.00 sec" << 1'234'000.0;
    QTest::newRow("just under 1 ms is too short")
        << false << qint64(999'999) << tooShort << quint64(0) << "0.00 sec" << 0.0;
    QTest::newRow("no time at all")
        << false << qint64(0) << tooShort << quint64(0) << "0.00 sec" << 0.0;
    QTest::newRow("a reading that went back")
        << false << qint64(-5'000'000) << tooShort << quint64(0) << "0.00 sec" << 0.0;
    QTest::newRow("multi-core under 1 ms")
        << true << qint64(999'999) << tooShort << quint64(0) << "0.00 sec" << 0.0;
    QTest::newRow("multi-core 1999.999 ms") << true << qint64(1'999'999'999) << completed
                                            << quint64(1999) << "2.00 sec" << 2468.0 / 1.999;
}

void TestRuns::wholeMilliseconds() {
    QFETCH(bool, multi);
    QFETCH(qint64, nanoseconds);
    QFETCH(int, status);
    QFETCH(quint64, milliseconds);
    QFETCH(QString, elapsed);
    QFETCH(double, score);
    const ScriptedClock clock = Span(std::chrono::nanoseconds(nanoseconds));
    const RunOutcome o = RunBlocking({WorkloadKind::Default, 1234, clock.clock()}, 2, multi);
    QCOMPARE(int(o.status), status);
    QCOMPARE(quint64(o.elapsedMilliseconds), milliseconds);
    QCOMPARE(Q(ElapsedText(o.elapsedSeconds, ".")), elapsed);
    QCOMPARE(o.score, score); // no inf, no nan: too short has no speed
    QCOMPARE(o.hasResult(), status == int(RunOutcome::Status::Completed));
}

void TestRuns::singleCoreRunsOnWorkerAndPostsBack() {
    Receiver r;
    const ScriptedClock clock = Span(10ms);
    const RunRequest request{WorkloadKind::IntegerArithmetic, 5'000'000, clock.clock()};
    auto handle = StartSingleCoreRun(request, r.queue->poster(), r.display());
    QVERIFY(r.wait());
    QCOMPARE(r.displayThread, std::this_thread::get_id());
    QVERIFY(handle->finished());
    const RunOutcome& o = *r.outcome;
    QCOMPARE(int(o.status), int(RunOutcome::Status::Completed));
    QVERIFY(!o.multiCore);
    QCOMPARE(int(o.kind), int(WorkloadKind::IntegerArithmetic));
    QCOMPARE(o.threads, 1u);
    QCOMPARE(quint64(o.totalOperations), quint64(5'000'000));
    QCOMPARE(o.score, 500'000'000.0);
    QCOMPARE(o.results.size(), size_t(1));
    QVERIFY(o.results[0].has_value());
    QCOMPARE(quint64(*o.results[0]), quint64(Expected(WorkloadKind::IntegerArithmetic, 5'000'000)));
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
    const ScriptedClock clock = Span(40ms);
    const RunRequest request{WorkloadKind::Branch, 20'000'000, clock.clock()};
    StartMultiCoreRun(request, workers, r.queue->poster(), r.display());
    QVERIFY(r.wait());
    QCOMPARE(r.displayThread, std::this_thread::get_id());
    const RunOutcome& o = *r.outcome;
    QCOMPARE(int(o.status), int(RunOutcome::Status::Completed));
    QVERIFY(o.multiCore);
    QCOMPARE(o.threads, workers);
    QCOMPARE(quint64(o.totalOperations), quint64(20'000'000) * workers);
    QCOMPARE(o.score, 500'000'000.0 * workers);
    QCOMPARE(o.results.size(), size_t(workers));
    const std::uint64_t expected = Expected(WorkloadKind::Branch, 20'000'000);
    for (const auto& result : o.results) {
        QVERIFY(result.has_value());
        QCOMPARE(quint64(*result), quint64(expected));
    }
}

void TestRuns::refusedRequests_data() {
    QTest::addColumn<WorkloadKind>("kind");
    QTest::addColumn<quint64>("operationCount");
    QTest::addColumn<unsigned>("workers"); // 0 with multi false: a single-core run
    QTest::addColumn<bool>("multi");
    // Eight loop iterations per operation: 2^61 operations wrap to 0 iterations.
    QTest::newRow("integer iterations wrap")
        << WorkloadKind::IntegerArithmetic << quint64(2305843009213693952ull) << 0u << false;
    QTest::newRow("bitwise iterations wrap, multi-core")
        << WorkloadKind::BitwiseLogic << quint64(2305843009213693952ull) << 2u << true;
    // Fits one worker, but twice it wraps.
    QTest::newRow("total over the workers wraps")
        << WorkloadKind::Default << quint64(9223372036861025808ull) << 2u << true;
    QTest::newRow("integer iterations and total wrap")
        << WorkloadKind::IntegerArithmetic << quint64(9223372036861025808ull) << 8u << true;
    QTest::newRow("no workers") << WorkloadKind::Default << quint64(1000) << 0u << true;
    QTest::newRow("not one of the six")
        << static_cast<WorkloadKind>(42) << quint64(1000) << 0u << false;
}

// The engine itself refuses what it cannot report truthfully: the run ends
// Failed, says why, and carries no figure and no worker result.
void TestRuns::refusedRequests() {
    QFETCH(WorkloadKind, kind);
    QFETCH(quint64, operationCount);
    QFETCH(unsigned, workers);
    QFETCH(bool, multi);
    Receiver r;
    const ScriptedClock clock = Span(2500ms);
    const RunRequest request{kind, operationCount, clock.clock()};
    auto handle = multi ? StartMultiCoreRun(request, workers, r.queue->poster(), r.display())
                        : StartSingleCoreRun(request, r.queue->poster(), r.display());
    QVERIFY(r.wait());
    QVERIFY(handle->finished());
    const RunOutcome& o = *r.outcome;
    QCOMPARE(int(o.status), int(RunOutcome::Status::Failed));
    QVERIFY(!o.error.empty());
    QVERIFY(!o.hasResult());
    QCOMPARE(quint64(o.operationCount), quint64(operationCount));
    QCOMPARE(quint64(o.totalOperations), quint64(0));
    QCOMPARE(o.score, 0.0);
    QVERIFY(o.results.empty());
    QCOMPARE(clock.reads(), std::size_t(0)); // nothing was timed
}

void TestRuns::stopEndsLongRunPromptly_data() {
    QTest::addColumn<bool>("multi");
    QTest::addColumn<WorkloadKind>("kind");
    QTest::addColumn<quint64>("operationCount");
    QTest::newRow("single-core, length 99,999")
        << false << WorkloadKind::Trigonometric << quint64(OperationCountForLength(99'999));
    // The largest count whose eightfold still fits: accepted, and years of work.
    QTest::newRow("multi-core, largest integer count")
        << true << WorkloadKind::IntegerArithmetic
        << quint64(std::numeric_limits<std::uint64_t>::max() / 8);
}

// A stop must end hours of work within a chunk, and a worker that was stopped
// has no result.
void TestRuns::stopEndsLongRunPromptly() {
    QFETCH(bool, multi);
    QFETCH(WorkloadKind, kind);
    QFETCH(quint64, operationCount);
    Receiver r;
    const RunRequest request{kind, operationCount};
    auto handle = multi ? StartMultiCoreRun(request, 2, r.queue->poster(), r.display())
                        : StartSingleCoreRun(request, r.queue->poster(), r.display());
    QTRY_VERIFY_WITH_TIMEOUT(handle->progress() > 0.0, 30000);
    QVERIFY(handle->progress() < 1.0);
    handle->requestStop();
    QVERIFY(r.wait(30));
    const RunOutcome& o = *r.outcome;
    QCOMPARE(int(o.status), int(RunOutcome::Status::Stopped));
    QVERIFY(!o.hasResult());
    QCOMPARE(o.results.size(), size_t(multi ? 2 : 1));
    for (const auto& result : o.results)
        QVERIFY(!result.has_value());
}

// Nobody collects the outcome and the poster's owner is gone: the worker
// must still finish cleanly.
void TestRuns::abandonedRunIsSafe() {
    std::shared_ptr<RunHandle> handle;
    {
        Receiver r;
        handle = StartSingleCoreRun({WorkloadKind::Branch, OperationCountForLength(99'999)},
                                    r.queue->poster(), r.display());
    }
    handle->requestStop();
    QTRY_VERIFY_WITH_TIMEOUT(handle->finished(), 30000);
}

void TestRuns::threadLibraryFailures_data() {
    QTest::addColumn<bool>("multi");
    QTest::addColumn<bool>("started"); // started and posted, else run where called
    QTest::addColumn<int>("joinFailures");
    QTest::addColumn<bool>("detachFails");
    QTest::addColumn<QString>("error");
    const QString notLetGo = "cannot let the run's thread go: ";
    const QString notWaited = "cannot wait for worker 1: ";
    QTest::newRow("single-core run's thread not let go") << false << true << 0 << true << notLetGo;
    QTest::newRow("multi-core run's thread not let go") << true << true << 0 << true << notLetGo;
    QTest::newRow("one worker not waited for") << true << false << 1 << false << notWaited;
    QTest::newRow("no worker waited for") << true << false << 3 << false << notWaited;
    QTest::newRow("a worker not waited for, started") << true << true << 1 << false << notWaited;
#if !defined(__SANITIZE_THREAD__) // a thread kept to the end is, to it, a leak
    QTest::newRow("a worker neither waited for nor let go")
        << true << false << 1 << true << notWaited;
#endif
}

// A thread library that cannot join or detach a thread ends the run as
// failed, with a reason, and never the process; workers that could not be
// waited for stop with the rest and let go of the run.
void TestRuns::threadLibraryFailures() {
    QFETCH(bool, multi);
    QFETCH(bool, started);
    QFETCH(int, joinFailures);
    QFETCH(bool, detachFails);
    QFETCH(QString, error);
    constexpr unsigned kWorkers = 3;
    auto joins = std::make_shared<std::atomic<int>>(0);
    RunRequest request{WorkloadKind::Branch, OperationCountForLength(99'999)};
    request.threadOperations.join = [joins, joinFailures](std::thread& t) {
        if (joins->fetch_add(1) < joinFailures)
            throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur));
        t.join();
    };
    if (detachFails) {
        request.threadOperations.detach = [](std::thread&) {
            throw std::system_error(std::make_error_code(std::errc::no_such_process));
        };
    }
    std::optional<RunOutcome> outcome;
    std::shared_ptr<RunHandle> handle;
    if (started) {
        Receiver r;
        handle = multi ? StartMultiCoreRun(request, kWorkers, r.queue->poster(), r.display())
                       : StartSingleCoreRun(request, r.queue->poster(), r.display());
        QVERIFY(r.wait());
        outcome = r.outcome;
    } else {
        handle = MakeRunHandle(request, kWorkers);
        outcome = RunMultiCore(request, kWorkers, handle);
    }
    QCOMPARE(int(outcome->status), int(RunOutcome::Status::Failed));
    QVERIFY2(Q(outcome->error).startsWith(error), outcome->error.c_str());
    QVERIFY(Q(outcome->error).size() > error.size()); // the library's own reason follows
    QVERIFY(!outcome->hasResult());
    QVERIFY(handle->finished());
    // Every thread let go ends soon and gives up its share of the run.
    QTRY_VERIFY_WITH_TIMEOUT(handle.use_count() == 1, 30000);
}

QTEST_GUILESS_MAIN(TestRuns)
#include "test_runs.moc"
