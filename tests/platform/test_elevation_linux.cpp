// The restart with administrator rights, with stand-ins for pkexec that answer
// as it does: dismissed, refused, missing, failing, or starting the program.
#include "platform/elevation.h"
#include "support/standinasker.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using zentaro::platform::CreateElevation;
using zentaro::platform::ElevatedStart;
using zentaro::platform::ElevatedStartState;
using zentaro::testing::StandInAsker;
using zentaro::testing::StandInWatchdog;

Q_DECLARE_METATYPE(ElevatedStartState)

namespace {

bool WriteScript(const QString& path, const QByteArray& body) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body) < 0)
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Polls until the answer is in; Pending past the deadline.
ElevatedStartState Settle(ElevatedStart& start) {
    QDeadlineTimer deadline(20'000);
    ElevatedStartState state = start.Poll();
    while (state == ElevatedStartState::Pending && !deadline.hasExpired()) {
        QTest::qWait(10);
        state = start.Poll();
    }
    return state;
}

} // namespace

class TestElevationLinux : public QObject {
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void abandonedWhileAsking();
    void askingUnderTheProgramsOwnName();
    void grantedAtOnce();
    void stubbornAskerIsEnded();
};

void TestElevationLinux::answers_data() {
    QTest::addColumn<QByteArray>("asker"); // the stand-in's script; empty: none installed
    QTest::addColumn<ElevatedStartState>("state");
    QTest::addColumn<int>("detail");
    // The stand-in is handed "env NAME=value ... program", as pkexec is.
    QTest::newRow("granted: the program runs")
        << QByteArray("exec \"$@\"\n") << ElevatedStartState::Started << 0;
    QTest::newRow("dismissed") << QByteArray("exit 126\n") << ElevatedStartState::Dismissed << 0;
    QTest::newRow("not granted") << QByteArray("exit 127\n") << ElevatedStartState::NotGranted << 0;
    QTest::newRow("pkexec missing") << QByteArray() << ElevatedStartState::NoTool << 0;
    QTest::newRow("ended at once") << QByteArray("exit 3\n") << ElevatedStartState::Failed << 3;
    QTest::newRow("killed") << QByteArray("kill -9 $$\n") << ElevatedStartState::Failed << 137;
}

void TestElevationLinux::answers() {
    QFETCH(QByteArray, asker);
    QFETCH(ElevatedStartState, state);
    QFETCH(int, detail);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString askerPath = dir.filePath("pkexec");
    if (!asker.isEmpty())
        QVERIFY(WriteScript(askerPath, asker));
    // The program stays, under its own name, until the test is done with it
    // (its folder goes with the test) or 20 seconds have passed.
    const QString program = dir.filePath("zentaro");
    QVERIFY(WriteScript(program, "i=0\nwhile [ -d '" + QFile::encodeName(dir.path()) +
                                     "' ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done\n"));

    auto start = CreateElevation(askerPath.toStdString())->StartElevated(program.toStdString());
    const ElevatedStartState seen = Settle(*start);
    QCOMPARE(seen, state);
    QCOMPARE(start->Poll(), state); // the answer stays
    if (state == ElevatedStartState::Failed)
        QCOMPARE(start->detail(), detail);
}

// A question nobody answers is withdrawn: the asker is ended and reaped.
void TestElevationLinux::abandonedWhileAsking() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString askerPath = dir.filePath("pkexec");
    QVERIFY(WriteScript(askerPath, "exec sleep 30\n"));
    auto start = CreateElevation(askerPath.toStdString())->StartElevated("/bin/true");
    QCOMPARE(start->Poll(), ElevatedStartState::Pending);
    start->Abandon();
    QCOMPARE(start->Poll(), ElevatedStartState::Dismissed);
}

// The program restarts its own file, so the asker's child starts out with the
// very name the program's copy will have. While the question is up, the request
// stays pending, every time, from the first look on.
void TestElevationLinux::askingUnderTheProgramsOwnName() {
    StandInAsker asker("wait");
    QVERIFY(asker.ok());
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    auto elevation = CreateElevation(); // pkexec, looked up in PATH
    for (int round = 0; round < 20; ++round) {
        auto start = elevation->StartElevated(self);
        QCOMPARE(start->Poll(), ElevatedStartState::Pending);
        const qint64 pid = asker.TakePid();
        QVERIFY2(pid > 0, "the stand-in did not start");
        QCOMPARE(start->Poll(), ElevatedStartState::Pending);
        start->Abandon();
        QCOMPARE(start->Poll(), ElevatedStartState::Dismissed);
        QVERIFY(StandInAsker::GoneWithin(pid, 10'000));
    }
}

// An asker that does not ask runs the program at once: seen as started, and it
// is the program that runs.
void TestElevationLinux::grantedAtOnce() {
    StandInAsker asker("grant");
    QVERIFY(asker.ok());
    // The program: a waiting stand-in under this test program's own name.
    const QString program =
        asker.folder() + '/' + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QVERIFY(QFile::copy(ZENTARO_BIN_DIR "/tests/standins/standin_asker_wait", program));
    auto start = CreateElevation()->StartElevated(program.toStdString());
    QCOMPARE(Settle(*start), ElevatedStartState::Started);
    const qint64 pid = StandInAsker::TakePidOf(program + ".pid");
    QVERIFY2(pid > 0, "the program did not run");
    QVERIFY(QFile::remove(program)); // it ends
}

// An asker deaf to SIGTERM: withdrawing the request comes back at once, and the
// asker is ended and reaped all the same.
void TestElevationLinux::stubbornAskerIsEnded() {
    StandInAsker asker("stubborn");
    QVERIFY(asker.ok());
    auto start = CreateElevation()->StartElevated("/bin/true");
    const qint64 pid = asker.TakePid();
    QVERIFY2(pid > 0, "the stand-in did not start");
    {
        StandInWatchdog watchdog(asker.path(), std::chrono::seconds(5));
        start->Abandon();
        QVERIFY2(!watchdog.Disarm(), "withdrawing waited for the asker to end");
    }
    QCOMPARE(start->Poll(), ElevatedStartState::Dismissed);
    QVERIFY2(StandInAsker::GoneWithin(pid, 15'000), "the asker is still there");
}

QTEST_GUILESS_MAIN(TestElevationLinux)
#include "test_elevation_linux.moc"
