#include "cli/cli.h"
#include "platform/systeminfo.h"

#include <QtTest>
#include <csignal>
#include <sstream>

using namespace zentaro;
using namespace zentaro::cli;

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result Run(const QStringList& args) {
    std::vector<std::string> a;
    for (const QString& s : args)
        a.push_back(s.toStdString());
    Environment env;
    env.identity = {"KESTRIX - Zentaro", "Zentaro", "1.0"};
    env.machine.cpuName = " Some \"Quoted\" CPU ";
    env.machine.architecture = "x64";
    env.machine.threads = 2;
    env.machine.baseSpeed = "3600 MHz";
    env.machine.currentSpeed = "Unknown";
    env.threads = 2;
    std::ostringstream out, err;
    const int status = RunCommandLine(a, env, out, err);
    return {status, out.str(), err.str()};
}

QString CliPath() {
    return QStringLiteral(ZENTARO_BIN_DIR "/zentaro-cli");
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void badArguments_data();
    void badArguments();
    void typeNames_data();
    void typeNames();
    void jsonShape();
    void plainOutput();
    void tooShortIsNotInfinite();
    void executableExitCodes();
    void machineFacts();
    void executableShowsThisMachine();
    void interruptStopsAtOnce();
};

void TestCli::badArguments_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown type") << QStringList{"--type", "Quantum"};
    QTest::newRow("length 0") << QStringList{"--length", "0"};
    QTest::newRow("length 100000") << QStringList{"--length", "100000"};
    QTest::newRow("length text") << QStringList{"--length", "ten"};
    QTest::newRow("length negative") << QStringList{"--length", "-5"};
    QTest::newRow("length missing") << QStringList{"--length"};
    QTest::newRow("type missing") << QStringList{"--single", "--type"};
    QTest::newRow("operations 0") << QStringList{"--operations", "0"};
    QTest::newRow("operations past 64 bits") << QStringList{"--operations", "18446744073709551616"};
    QTest::newRow("unknown flag") << QStringList{"--fast"};
}

void TestCli::badArguments() {
    QFETCH(QStringList, args);
    const Result r = Run(args);
    QCOMPARE(r.status, kExitUsage);
    QVERIFY(r.out.empty()); // nothing ran
    QCOMPARE(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

void TestCli::typeNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reported");
    QTest::newRow("default") << "default"
                             << "Default";
    QTest::newRow("Default") << "Default"
                             << "Default";
    QTest::newRow("lower case") << "integer arithmetic"
                                << "Integer Arithmetic";
    QTest::newRow("upper case") << "BITWISE LOGIC"
                                << "Bitwise Logic";
    QTest::newRow("branch") << "Branch Prediction and Control"
                            << "Branch Prediction and Control";
    QTest::newRow("float") << "floating point arithmetic"
                           << "Floating Point Arithmetic";
    QTest::newRow("trig") << "TRIGONOMETRIC"
                          << "Trigonometric";
}

void TestCli::typeNames() {
    QFETCH(QString, name);
    QFETCH(QString, reported);
    const Result r = Run({"--type", name, "--operations", "10", "--single", "--json"});
    QCOMPARE(r.status, kExitOk);
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out));
    QCOMPARE(doc.object()["runs"].toArray()[0].toObject()["test_type"].toString(), reported);
}

void TestCli::jsonShape() {
    const Result r = Run({"--type", "integer arithmetic", "--operations", "2000000", "--json"});
    QCOMPARE(r.status, kExitOk);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject root = doc.object();
    QCOMPARE(root["product"].toString(), QString("Zentaro"));
    QCOMPARE(root["version"].toString(), QString("1.0"));
    QCOMPARE(root["machine"].toObject()["threads"].toInt(), 2);
    const QJsonArray runs = root["runs"].toArray();
    QCOMPARE(runs.size(), 2);
    std::uint64_t expected = 0;
    RunWorkloadOf(WorkloadKind::IntegerArithmetic, 16'000'000, expected);
    const QString hex = QString("0x%1").arg(expected, 16, 16, QChar('0'));
    for (int i = 0; i < 2; ++i) {
        const QJsonObject run = runs[i].toObject();
        QCOMPARE(run["mode"].toString(), QString(i == 0 ? "single" : "multi"));
        QCOMPARE(run["test_type"].toString(), QString("Integer Arithmetic"));
        QCOMPARE(run["operations"].toInteger(), 2'000'000);
        QCOMPARE(run["threads"].toInt(), i == 0 ? 1 : 2);
        QVERIFY(run["elapsed_seconds"].isDouble());
        const QJsonArray results = run["results"].toArray();
        QCOMPARE(results.size(), i == 0 ? 1 : 2);
        for (const QJsonValue& v : results)
            QCOMPARE(v.toString(), hex);
        if (run["elapsed_seconds"].toDouble() > 0) {
            QVERIFY(run["ops_per_second"].isDouble());
            QVERIFY(run["rating"].isString());
        } else {
            QVERIFY(run["ops_per_second"].isNull());
            QVERIFY(run["rating"].isNull());
        }
    }
}

void TestCli::plainOutput() {
    const Result r = Run({"--operations", "30000000", "--single"});
    QCOMPARE(r.status, kExitOk);
    const QString out = QString::fromStdString(r.out);
    QVERIFY(out.startsWith("KESTRIX - Zentaro 1.0\nCPU Name:  Some \"Quoted\" CPU \n"
                           "Architecture: x64\nThreads: 2\nBase Speed: 3600 MHz\n"
                           "Current Speed: Unknown\n\nSingle-core run"));
    QVERIFY(out.contains("Single-core run (Default, 30000000 operations)"));
    QVERIFY(!out.contains("Multi-core run"));
    static const QRegularExpression speed(
        "Elapsed Time: \\d+\\.\\d\\d sec\\n  Single-Core: \\d+\\.\\d\\d million ops/sec\\n"
        "  Rating: (Excellent|Very Good|Good|Fair|Bad|Very Bad)\\n");
    QVERIFY2(out.contains(speed) || out.contains("too short to measure"), qPrintable(out));
}

void TestCli::tooShortIsNotInfinite() {
    RunOutcome o;
    o.status = RunOutcome::Status::TooShort;
    o.testType = "";
    o.operationCount = 1;
    o.results = {1};
    const std::string json = JsonReport({"t", "Zentaro", "1.0"}, {}, {o});
    QVERIFY(json.find("\"ops_per_second\": null") != std::string::npos);
    QVERIFY(json.find("\"rating\": null") != std::string::npos);
    QVERIFY(json.find("inf") == std::string::npos && json.find("nan") == std::string::npos);
    QVERIFY(QString::fromStdString(PlainRunReport(o)).contains("too short to measure"));
}

void TestCli::executableExitCodes() {
    QProcess p;
    p.start(CliPath(), {"--length", "0"});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardOutput().isEmpty());
    QVERIFY(!p.readAllStandardError().isEmpty());

    p.start(CliPath(), {"--operations", "1000", "--json"});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QJsonParseError error;
    QJsonDocument::fromJson(p.readAllStandardOutput(), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
}

// --info prints the product line and the five facts, and runs nothing.
void TestCli::machineFacts() {
    const Result plain = Run({"--info"});
    QCOMPARE(plain.status, kExitOk);
    QCOMPARE(QString::fromStdString(plain.out),
             QString("KESTRIX - Zentaro 1.0\nCPU Name:  Some \"Quoted\" CPU \nArchitecture: x64\n"
                     "Threads: 2\nBase Speed: 3600 MHz\nCurrent Speed: Unknown\n"));

    const Result json = Run({"--json", "--info"});
    QCOMPARE(json.status, kExitOk);
    QJsonParseError error;
    const QJsonObject root =
        QJsonDocument::fromJson(QByteArray::fromStdString(json.out), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QVERIFY(!root.contains("runs"));
    const QJsonObject machine = root["machine"].toObject();
    QCOMPARE(machine["cpu_name"].toString(), QString(" Some \"Quoted\" CPU "));
    QCOMPARE(machine["architecture"].toString(), QString("x64"));
    QCOMPARE(machine["threads"].toInt(), 2);
    QCOMPARE(machine["base_speed"].toString(), QString("3600 MHz"));
    QCOMPARE(machine["current_speed"].toString(), QString("Unknown"));
}

// The real program names itself from its own file and counts the processors
// it may run on.
void TestCli::executableShowsThisMachine() {
    QProcess p;
    p.start(CliPath(), {"--info"});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
    QCOMPARE(lines.size(), 7); // six lines and the end
    QCOMPARE(lines[0], QString("KESTRIX - Zentaro 1.0"));
    const QStringList captions = {
        "CPU Name: ", "Architecture: ", "Threads: ", "Base Speed: ", "Current Speed: "};
    for (int i = 0; i < captions.size(); ++i)
        QVERIFY2(lines[i + 1].startsWith(captions[i]), qPrintable(lines[i + 1]));
    // The child inherits this process's affinity mask.
    QCOMPARE(lines[3],
             QString("Threads: %1").arg(platform::CreateSystemInfo()->Basic().logicalProcessors));
}

// Ctrl-C in the middle of hours of work ends the program at once with 130.
void TestCli::interruptStopsAtOnce() {
    QProcess p;
    p.start(CliPath(), {"--length", "99999", "--multi"});
    QVERIFY(p.waitForStarted(30000));
    // The product line comes out before the run starts.
    QVERIFY(p.waitForReadyRead(30000));
    QVERIFY(p.readAllStandardOutput().contains("Zentaro"));
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 130);
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
