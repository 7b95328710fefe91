#include "cli/cli.h"
#include "cli/terminaltext.h"
#include "platform/systeminfo.h"

#include <QtTest>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sstream>
#include <streambuf>

using namespace zentaro;
using namespace zentaro::cli;
using namespace std::chrono_literals;

namespace {

// A stopwatch that moves on by `step` at every reading, so that every run
// spans exactly one step.
MonotonicClock SteppingClock(std::chrono::nanoseconds step) {
    auto reads = std::make_shared<std::atomic<std::int64_t>>(0);
    return [reads, step] { return step * reads->fetch_add(1); };
}

Environment TestEnvironment() {
    Environment env;
    env.identity = [] { return Identity{"KESTRIX - Zentaro", "Zentaro", "1.0"}; };
    env.machine.cpuName = " Some \"Quoted\" CPU ";
    env.machine.architecture = "x64";
    env.machine.threads = 2;
    env.machine.baseSpeed = "3600 MHz";
    env.machine.currentSpeed = "Unknown";
    env.threads = 2;
    env.clock = SteppingClock(2500ms);
    return env;
}

struct Result {
    int status;
    std::string out;
    std::string err;
};

std::vector<std::string> Args(const QStringList& args) {
    std::vector<std::string> a;
    for (const QString& s : args)
        a.push_back(s.toStdString());
    return a;
}

Result Run(const QStringList& args, const Environment& env = TestEnvironment()) {
    std::ostringstream out, err;
    const int status = RunCommandLine(Args(args), env, out, err);
    return {status, out.str(), err.str()};
}

// An output that takes `budget` bytes and then fails, as a full disk does.
class FailingBuffer : public std::streambuf {
public:
    explicit FailingBuffer(std::size_t budget) : budget_(budget) {}
    std::string taken;

protected:
    int_type overflow(int_type c) override {
        if (budget_ == 0 || traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::eof();
        --budget_;
        taken += traits_type::to_char_type(c);
        return c;
    }

private:
    std::size_t budget_;
};

// Exactly one line, and nothing in it a terminal would take as a control.
bool IsOneCleanLine(const std::string& text) {
    if (text.empty() || text.back() != '\n')
        return false;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

QJsonObject ParseJson(const std::string& text) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << "not JSON:" << error.errorString() << QString::fromStdString(text);
    return doc.object();
}

QString CliPath() {
    return QStringLiteral(ZENTARO_BIN_DIR "/zentaro-cli");
}

// The real program, through bash so that the test can shape its descriptors
// and limits; messages in the C locale.
struct Child {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

bool RunThroughShell(const QString& script, const QStringList& args, Child& child) {
    QProcess p;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LC_ALL", "C");
    p.setProcessEnvironment(environment);
    p.start("bash", QStringList{"-c", script, CliPath()} + args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        return false;
    }
    child.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    child.out = p.readAllStandardOutput();
    child.err = p.readAllStandardError();
    return true;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void badArguments_data();
    void badArguments();
    void terminalText_data();
    void terminalText();
    void typeNames_data();
    void typeNames();
    void jsonShape();
    void plainOutput_data();
    void plainOutput();
    void tooShortHasNoSpeed();
    void failedRunInJson();
    void unwritableOutput_data();
    void unwritableOutput();
    void versionUnreadable();
    void machineFacts();
    void hostileProcessorName();
    void executableExitCodes();
    void executableUnwritableOutput_data();
    void executableUnwritableOutput();
    void executableFailedRunUnderMemoryLimit();
    void executableShowsThisMachine();
    void executableWhoseFileIsGone();
    void executableInterrupted_data();
    void executableInterrupted();
};

void TestCli::badArguments_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("shown"); // part of the message
    const QString longArgument = "--" + QString(5000, 'x');
    QTest::newRow("unknown type") << QStringList{"--type", "Quantum"} << QByteArray("Quantum");
    QTest::newRow("length 0") << QStringList{"--length", "0"} << QByteArray("1 to 99999: 0");
    QTest::newRow("length 100000") << QStringList{"--length", "100000"} << QByteArray("100000");
    QTest::newRow("length text") << QStringList{"--length", "ten"} << QByteArray("ten");
    QTest::newRow("length negative") << QStringList{"--length", "-5"} << QByteArray("-5");
    QTest::newRow("length missing") << QStringList{"--length"} << QByteArray("missing value");
    QTest::newRow("type missing") << QStringList{"--single", "--type"}
                                  << QByteArray("missing value for --type");
    QTest::newRow("operations 0") << QStringList{"--operations", "0"} << QByteArray(": 0");
    QTest::newRow("operations past 64 bits") << QStringList{"--operations", "18446744073709551616"}
                                             << QByteArray("18446744073709551616");
    QTest::newRow("operations one over the longest length")
        << QStringList{"--operations", "9999900000001"}
        << QByteArray("from 1 to 9999900000000: 9999900000001");
    // Eight loop iterations per operation would wrap to none at all.
    QTest::newRow("integer count that would wrap")
        << QStringList{"--type",       "integer arithmetic",
                       "--operations", "2305843009213693952",
                       "--single",     "--json"}
        << QByteArray("2305843009213693952");
    QTest::newRow("count whose total would wrap")
        << QStringList{"--operations", "9223372036861025808", "--multi"}
        << QByteArray("9223372036861025808");
    QTest::newRow("unknown flag") << QStringList{"--fast"} << QByteArray("--fast");
    QTest::newRow("control characters") << QStringList{"--type", "\x1b]0;title\x07\x1b[31mred\x7f"}
                                        << QByteArray("\\x1b]0;title\\x07\\x1b[31mred\\x7f");
    QTest::newRow("line break") << QStringList{"--length", "1\r\n2"} << QByteArray("1\\x0d\\x0a2");
    QTest::newRow("very long argument")
        << QStringList{longArgument} << ("unknown argument: --" + QByteArray(58, 'x') + "...");
}

void TestCli::badArguments() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, shown);
    Environment env = TestEnvironment();
    env.identity = []() -> Identity { throw std::runtime_error("must not be needed"); };
    const Result r = Run(args, env);
    QCOMPARE(r.status, kExitUsage);
    QVERIFY(r.out.empty()); // nothing ran
    QVERIFY2(IsOneCleanLine(r.err), r.err.c_str());
    QVERIFY2(r.err.find(shown.toStdString()) != std::string::npos, r.err.c_str());
    QVERIFY(r.err.size() < 200);
}

void TestCli::terminalText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("max"); // -1: no limit
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("plain") << QByteArray("Intel(R) Core(TM) i7") << -1
                           << QByteArray("Intel(R) Core(TM) i7");
    QTest::newRow("valid UTF-8 stays")
        << QByteArray("Proz\xc3\xa9ssor \xe2\x84\xa2 \xf0\x9f\x9a\x80") << -1
        << QByteArray("Proz\xc3\xa9ssor \xe2\x84\xa2 \xf0\x9f\x9a\x80");
    QTest::newRow("C0, DEL") << QByteArray("a\x1b[2Jb\tc\x7f") << -1
                             << QByteArray("a\\x1b[2Jb\\x09c\\x7f");
    QTest::newRow("C1 as UTF-8") << QByteArray("a\xc2\x9b"
                                               "31m")
                                 << -1 << QByteArray("a\\u009b31m");
    QTest::newRow("stray bytes") << QByteArray("a\xff\xfe\x9b") << -1
                                 << QByteArray("a\\xff\\xfe\\x9b");
    QTest::newRow("cut-off sequence") << QByteArray("a\xe2\x84") << -1 << QByteArray("a\\xe2\\x84");
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << -1 << QByteArray("\\xc0\\xaf");
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << -1 << QByteArray("\\xed\\xa0\\x80");
    QTest::newRow("past U+10FFFF")
        << QByteArray("\xf4\x90\x80\x80") << -1 << QByteArray("\\xf4\\x90\\x80\\x80");
    QTest::newRow("cut at the limit") << QByteArray("abcdef") << 4 << QByteArray("abcd...");
    QTest::newRow("exactly at the limit") << QByteArray("abcd") << 4 << QByteArray("abcd");
    QTest::newRow("cut counts characters, not bytes")
        << QByteArray("\xc3\xa9\xc3\xa9\xc3\xa9") << 2 << QByteArray("\xc3\xa9\xc3\xa9...");
    QTest::newRow("cut counts an escape as one")
        << QByteArray("\x1b\x1b\x1b") << 2 << QByteArray("\\x1b\\x1b...");
}

void TestCli::terminalText() {
    QFETCH(QByteArray, text);
    QFETCH(int, max);
    QFETCH(QByteArray, shown);
    const std::size_t limit = max < 0 ? std::string_view::npos : std::size_t(max);
    QCOMPARE(QByteArray::fromStdString(TerminalText(text.toStdString(), limit)), shown);
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
    QCOMPARE(ParseJson(r.out)["runs"].toArray()[0].toObject()["test_type"].toString(), reported);
}

void TestCli::jsonShape() {
    const Result r = Run({"--type", "integer arithmetic", "--operations", "2000000", "--json"});
    QCOMPARE(r.status, kExitOk);
    const QJsonObject root = ParseJson(r.out);
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
        QCOMPARE(run["status"].toString(), QString("completed"));
        QVERIFY(!run.contains("error"));
        QCOMPARE(run["operations"].toInteger(), 2'000'000);
        QCOMPARE(run["threads"].toInt(), i == 0 ? 1 : 2);
        QCOMPARE(run["elapsed_seconds"].toDouble(), 2.5);
        // 2,000,000 or 4,000,000 operations in 2.5 s.
        QCOMPARE(run["ops_per_second"].toDouble(), i == 0 ? 800'000.0 : 1'600'000.0);
        QCOMPARE(run["rating"].toString(), QString("Very Bad"));
        const QJsonArray results = run["results"].toArray();
        QCOMPARE(results.size(), i == 0 ? 1 : 2);
        for (const QJsonValue& v : results)
            QCOMPARE(v.toString(), hex);
    }
}

void TestCli::plainOutput_data() {
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("expected");
    const QString text = "KESTRIX - Zentaro 1.0\nCPU Name:  Some \"Quoted\" CPU \n"
                         "Architecture: x64\nThreads: 2\nBase Speed: 3600 MHz\n"
                         "Current Speed: Unknown\n\n"
                         "Single-core run (Branch Prediction and Control, 100000000 operations)\n"
                         "  Elapsed Time: 2{sep}50 sec\n"
                         "  Single-Core: 40{sep}00 million ops/sec\n"
                         "  Rating: Very Bad\n"
                         "Multi-core run (Branch Prediction and Control, 100000000 operations x "
                         "2 threads)\n"
                         "  Elapsed Time: 2{sep}50 sec\n"
                         "  Multi-Core: 80{sep}00 million ops/sec\n"
                         "  Rating: Very Bad\n";
    for (const QString separator : {QString("."), QString(","), QString("\u066b")})
        QTest::addRow("separator %s", qPrintable(separator))
            << separator << QString(text).replace("{sep}", separator);
}

// Each run spans 2,500 ms on the test's stopwatch.
void TestCli::plainOutput() {
    QFETCH(QString, separator);
    QFETCH(QString, expected);
    Environment env = TestEnvironment();
    env.decimalSeparator = separator.toStdString();
    const Result r =
        Run({"--type", "branch prediction and control", "--operations", "100000000"}, env);
    QCOMPARE(r.status, kExitOk);
    QCOMPARE(QString::fromStdString(r.out), expected);
    QVERIFY(r.err.empty());
}

void TestCli::tooShortHasNoSpeed() {
    Environment env = TestEnvironment();
    env.clock = SteppingClock(999'999ns);
    const Result json = Run({"--operations", "1000", "--json"}, env);
    QCOMPARE(json.status, kExitOk);
    for (const QJsonValue& v : ParseJson(json.out)["runs"].toArray()) {
        const QJsonObject run = v.toObject();
        QCOMPARE(run["status"].toString(), QString("too_short"));
        QCOMPARE(run["elapsed_seconds"].toDouble(), 0.0);
        QVERIFY(run["ops_per_second"].isNull());
        QVERIFY(run["rating"].isNull());
        QVERIFY(run["results"].toArray()[0].isString());
    }
    env.clock = SteppingClock(999'999ns);
    const Result plain = Run({"--operations", "1000", "--single"}, env);
    QCOMPARE(plain.status, kExitOk);
    QVERIFY(QString::fromStdString(plain.out).endsWith(
        "  Elapsed Time: 0.00 sec\n"
        "  Single-Core: too short to measure (under one millisecond)\n"));
}

// A run the engine refuses is reported as failed, with its reason and without
// any invented figure; a worker that did not finish shows null.
void TestCli::failedRunInJson() {
    Environment env = TestEnvironment();
    env.threads = 0; // no worker for a multi-core run
    const Result r = Run({"--operations", "1000", "--json"}, env);
    QCOMPARE(r.status, kExitFailure);
    const QJsonArray runs = ParseJson(r.out)["runs"].toArray();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs[0].toObject()["status"].toString(), QString("completed"));
    const QJsonObject failed = runs[1].toObject();
    QCOMPARE(failed["status"].toString(), QString("failed"));
    QVERIFY(!failed["error"].toString().isEmpty());
    QVERIFY(failed["elapsed_seconds"].isNull());
    QVERIFY(failed["ops_per_second"].isNull());
    QVERIFY(failed["rating"].isNull());
    QCOMPARE(failed["results"].toArray().size(), 0);

    const Result plain = Run({"--operations", "1000", "--multi"}, env);
    QCOMPARE(plain.status, kExitFailure);
    QVERIFY(
        QString::fromStdString(plain.out).contains("  failed: a run needs at least one worker\n"));

    RunOutcome stopped;
    stopped.status = RunOutcome::Status::Stopped;
    stopped.multiCore = true;
    stopped.threads = 2;
    stopped.results = {0x2aull, std::nullopt};
    const QJsonObject run =
        ParseJson(JsonReport({"t", "Zentaro", "1.0"}, {}, {stopped}))["runs"][0].toObject();
    QCOMPARE(run["status"].toString(), QString("stopped"));
    QCOMPARE(run["results"].toArray()[0].toString(), QString("0x000000000000002a"));
    QVERIFY(run["results"].toArray()[1].isNull());
}

void TestCli::unwritableOutput_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("budget"); // bytes the output takes before it fails
    QTest::newRow("--help") << QStringList{"--help"} << 0;
    QTest::newRow("--version") << QStringList{"--version"} << 0;
    QTest::newRow("--info") << QStringList{"--info"} << 0;
    QTest::newRow("--info --json") << QStringList{"--info", "--json"} << 0;
    QTest::newRow("JSON results") << QStringList{"--operations", "1000", "--json"} << 0;
    QTest::newRow("JSON results, cut short")
        << QStringList{"--operations", "1000", "--json"} << 300;
    QTest::newRow("plain, machine facts") << QStringList{"--operations", "1000"} << 0;
    // The machine facts go out; the first run's lines do not.
    QTest::newRow("plain, run lines") << QStringList{"--operations", "1000"} << 140;
}

void TestCli::unwritableOutput() {
    QFETCH(QStringList, args);
    QFETCH(int, budget);
    FailingBuffer buffer(budget);
    std::ostream out(&buffer);
    std::ostringstream err;
    QCOMPARE(RunCommandLine(Args(args), TestEnvironment(), out, err), kExitFailure);
    QVERIFY2(IsOneCleanLine(err.str()), err.str().c_str());
    QVERIFY(err.str().starts_with("zentaro-cli: cannot write the output: "));
    QVERIFY(buffer.taken.size() <= std::size_t(budget));
}

// The version information is read only when needed, and a reason that spans
// lines is still reported on one.
void TestCli::versionUnreadable() {
    Environment env = TestEnvironment();
    env.identity = []() -> Identity { throw std::runtime_error("bad block\r\nat offset 12"); };
    const Result help = Run({"--help"}, env);
    QCOMPARE(help.status, kExitOk);
    QVERIFY(help.out.starts_with("Usage: zentaro-cli"));

    for (const QStringList& args : {QStringList{"--version"}, QStringList{"--info"},
                                    QStringList{"--operations", "10", "--json"}}) {
        const Result r = Run(args, env);
        QCOMPARE(r.status, kExitFailure);
        QVERIFY(r.out.empty());
        QVERIFY2(IsOneCleanLine(r.err), r.err.c_str());
        QCOMPARE(QString::fromStdString(r.err),
                 QString("zentaro-cli: cannot read the version information: "
                         "bad block\\x0d\\x0aat offset 12\n"));
    }
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
    const QJsonObject root = ParseJson(json.out);
    QVERIFY(!root.contains("runs"));
    const QJsonObject machine = root["machine"].toObject();
    QCOMPARE(machine["cpu_name"].toString(), QString(" Some \"Quoted\" CPU "));
    QCOMPARE(machine["architecture"].toString(), QString("x64"));
    QCOMPARE(machine["threads"].toInt(), 2);
    QCOMPARE(machine["base_speed"].toString(), QString("3600 MHz"));
    QCOMPARE(machine["current_speed"].toString(), QString("Unknown"));
}

// A processor name with invalid UTF-8 and escape sequences: the JSON stays
// valid (U+FFFD in place of the bad bytes) and plain text reaches no
// terminal as a control sequence.
void TestCli::hostileProcessorName() {
    Environment env = TestEnvironment();
    env.machine.cpuName = "Evil\xff\xfe CPU \x1b]0;owned\x07\x1b[2J\xc2\x9b"
                          "1m\n";
    const Result json = Run({"--info", "--json"}, env);
    QCOMPARE(json.status, kExitOk);
    QVERIFY(json.out.find('\x1b') == std::string::npos);
    const QString name = ParseJson(json.out)["machine"].toObject()["cpu_name"].toString();
    QCOMPARE(name, QString::fromUtf8("Evil\xef\xbf\xbd\xef\xbf\xbd CPU \x1b]0;owned\x07\x1b[2J"
                                     "\xc2\x9b"
                                     "1m\n"));

    const Result plain = Run({"--info"}, env);
    QCOMPARE(plain.status, kExitOk);
    QVERIFY(plain.out.find('\x1b') == std::string::npos);
    QVERIFY(plain.out.find('\x07') == std::string::npos);
    QVERIFY(
        plain.out.find("CPU Name: Evil\\xff\\xfe CPU \\x1b]0;owned\\x07\\x1b[2J\\u009b1m\\x0a\n") !=
        std::string::npos);
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

void TestCli::executableUnwritableOutput_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("reason");
    const struct {
        const char* name;
        const char* script;
        int error;
    } sinks[] = {{"full disk", R"(exec "$0" "$@" >/dev/full)", ENOSPC},
                 {"closed", R"(exec "$0" "$@" >&-)", EBADF}};
    const QList<QStringList> commands = {{"--help"},
                                         {"--version"},
                                         {"--info"},
                                         {"--operations", "1000", "--single"},
                                         {"--operations", "1000", "--json"}};
    for (const auto& sink : sinks) {
        for (const QStringList& args : commands) {
            QTest::addRow("%s: %s", sink.name, qPrintable(args.join(' ')))
                << QString(sink.script) << args << QString(std::strerror(sink.error));
        }
    }
}

void TestCli::executableUnwritableOutput() {
    QFETCH(QString, script);
    QFETCH(QStringList, args);
    QFETCH(QString, reason);
    Child child;
    QVERIFY(RunThroughShell(script, args, child));
    QCOMPARE(child.exitCode, 1);
    QCOMPARE(QString::fromUtf8(child.err),
             "zentaro-cli: cannot write the output: " + reason + "\n");
}

// Threads cannot start under a tight address-space limit: the coordinator
// gets its stack, the workers do not.
void TestCli::executableFailedRunUnderMemoryLimit() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    QSKIP("sanitizers reserve more address space than the limit allows");
#endif
    Child child;
    QVERIFY(RunThroughShell(R"(ulimit -s 65536 && ulimit -v 110000 && exec "$0" "$@")",
                            {"--operations", "1000", "--multi", "--json"}, child));
    QCOMPARE(child.exitCode, 1);
    const QJsonObject run = ParseJson(child.out.toStdString())["runs"][0].toObject();
    QCOMPARE(run["status"].toString(), QString("failed"));
    QVERIFY(!run["error"].toString().isEmpty());
    QVERIFY(run["ops_per_second"].isNull());
    for (const QJsonValue& v : run["results"].toArray())
        QVERIFY(v.isNull());
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

// A package upgrade replaces the program's file while it runs; the running
// program still knows who it is.
void TestCli::executableWhoseFileIsGone() {
    Child child;
    QVERIFY(RunThroughShell(
        R"(t=$(mktemp) && cp "$0" "$t" && chmod 700 "$t" && exec 3<"$t" && rm "$t" &&
                               /proc/self/fd/3 "$@")",
        {"--json", "--info"}, child));
    QCOMPARE(child.exitCode, 0);
    const QJsonObject root = ParseJson(child.out.toStdString());
    QCOMPARE(root["product"].toString(), QString("Zentaro"));
    QCOMPARE(root["version"].toString(), QString("1.0"));
}

void TestCli::executableInterrupted_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("status");
    QTest::newRow("Ctrl-C") << int(SIGINT) << 130;
    QTest::newRow("terminate") << int(SIGTERM) << 143;
}

// An interrupt in the middle of hours of work ends the program at once, with
// the status a shell expects for that signal.
void TestCli::executableInterrupted() {
    QFETCH(int, signal);
    QFETCH(int, status);
    QProcess p;
    p.start(CliPath(), {"--length", "99999", "--multi"});
    QVERIFY(p.waitForStarted(30000));
    // The product line comes out before the run starts.
    QVERIFY(p.waitForReadyRead(30000));
    QVERIFY(p.readAllStandardOutput().contains("Zentaro"));
    ::kill(pid_t(p.processId()), signal);
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished(5000);
        QFAIL("still running 30 s after the signal");
    }
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), status);
    QCOMPARE(p.readAllStandardError(), QByteArray("zentaro-cli: interrupted\n"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
