#include "cli/cli.h"
#include "cli/comparison.h"
#include "cli/summary.h"
#include "cli/terminaltext.h"
#include "platform/systeminfo.h"
#include "support/filetree.h"
#include "support/oddfiles.h"

#include <QtTest>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <sstream>
#include <streambuf>

using namespace zentaro;
using namespace zentaro::cli;
using namespace std::chrono_literals;

using zentaro::testing::BuildTree;
using zentaro::testing::WriteText;

namespace {

// A stopwatch that moves on by `step` at every reading, so that every run
// spans exactly one step.
MonotonicClock SteppingClock(std::chrono::nanoseconds step) {
    auto reads = std::make_shared<std::atomic<std::int64_t>>(0);
    return [reads, step] { return step * reads->fetch_add(1); };
}

// A stopwatch on which run k (counting from 0) spans spans[k % size]: every
// run reads it once at its start and once at its end. atFirstReading runs
// at the first start, inside the first run.
MonotonicClock ScriptedClock(std::vector<std::chrono::milliseconds> spans,
                             std::function<void()> atFirstReading = {}) {
    struct State {
        std::mutex lock;
        std::int64_t reads = 0;
        std::chrono::nanoseconds now{};
    };
    auto state = std::make_shared<State>();
    return [state, spans, atFirstReading] {
        std::lock_guard guard(state->lock);
        const std::int64_t r = state->reads++;
        if (r == 0 && atFirstReading)
            atFirstReading();
        if (r % 2 == 1)
            state->now += spans[std::size_t(r / 2) % spans.size()];
        return state->now;
    };
}

// The system's state read from a fixture root by the real sources.
struct FixtureSources {
    explicit FixtureSources(const QString& root)
        : governors(platform::CreateFrequencyGovernors(root.toStdString())),
          power(platform::CreatePowerSupply(root.toStdString())),
          times(platform::CreateProcessorTimes(root.toStdString())),
          throttle(platform::CreateThermalThrottle(root.toStdString())),
          hypervisor(platform::CreateHypervisor(root.toStdString())) {}

    void Attach(Environment& env) const {
        env.readiness.governors = governors.get();
        env.readiness.power = power.get();
        env.readiness.processorTimes = times.get();
        env.readiness.throttle = throttle.get();
        env.readiness.hypervisor = hypervisor.get();
    }

    std::unique_ptr<platform::FrequencyGovernors> governors;
    std::unique_ptr<platform::PowerSupply> power;
    std::unique_ptr<platform::ProcessorTimes> times;
    std::unique_ptr<platform::ThermalThrottle> throttle;
    std::unique_ptr<platform::Hypervisor> hypervisor;
};

Environment TestEnvironment() {
    Environment env;
    env.identity = [] { return Identity{"KESTRIX - Zentaro", "Zentaro", "1.0"}; };
    env.machine.cpuName = " Some \"Quoted\" CPU ";
    env.machine.architecture = "x64";
    env.machine.threads = 2;
    env.machine.baseSpeed = "3600 MHz";
    env.machine.baseSpeedMhz = 3600;
    env.machine.currentSpeed = "Unknown";
    env.threads = 2;
    env.clock = SteppingClock(2500ms);
    return env;
}

// A system that names itself.
class NamedSystem : public platform::OsDescription {
public:
    platform::OsFacts Describe() const override {
        platform::OsFacts facts;
        facts.productName = "Debian GNU/Linux 12 (bookworm)";
        return facts;
    }
};

// The moment the JSON output says the work began at, as nanoseconds after
// 1970.
std::chrono::system_clock::time_point At(qint64 nanoseconds) {
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::nanoseconds(nanoseconds)));
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
    void jsonContext_data();
    void jsonContext();
    void utcTimestamp_data();
    void utcTimestamp();
    void hostileProcessorName();
    void newOptions_data();
    void newOptions();
    void optionSpellings_data();
    void optionSpellings();
    void helpNamesEveryOption();
    void summaryFigures_data();
    void summaryFigures();
    void repeats();
    void threadsAndScaling_data();
    void threadsAndScaling();
    void readinessWarnings_data();
    void readinessWarnings();
    void comparison_data();
    void comparison();
    void comparisonWithManyKinds();
    void lostRunThread_data();
    void lostRunThread();
    void executableExitCodes();
    void executableUnwritableOutput_data();
    void executableUnwritableOutput();
    void executableFailedRunUnderMemoryLimit();
    void executableShowsThisMachine();
    void executableWhoseFileIsGone();
    void executableInterrupted_data();
    void executableInterrupted();
    void executableRepeatsScalingAndComparison();
    void executableHostileComparisonFiles_data();
    void executableHostileComparisonFiles();

private:
    QTemporaryDir tmp_;
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
    for (const char* option : {"--repeat", "--threads"}) {
        const QByteArray range = QByteArray(option) == "--repeat" ? "1 to 1000: " : "1 to 4096: ";
        const QByteArray tooLarge = QByteArray(option) == "--repeat" ? "1001" : "4097";
        QTest::addRow("%s missing", option)
            << QStringList{"--single", option} << QByteArray("missing value for ") + option;
        QTest::addRow("%s 0", option) << QStringList{option, "0"} << range + "0";
        QTest::addRow("%s too large", option)
            << QStringList{option, QString(tooLarge)} << range + tooLarge;
        QTest::addRow("%s past 64 bits", option)
            << QStringList{option, "18446744073709551617"} << range + "18446744073709551617";
        QTest::addRow("%s not a number", option) << QStringList{option, "5x"} << range + "5x";
        QTest::addRow("%s negative", option) << QStringList{option, "-1"} << range + "-1";
    }
    QTest::newRow("--compare missing")
        << QStringList{"--compare"} << QByteArray("missing value for --compare");
    QTest::newRow("--scaling with a mode") << QStringList{"--multi", "--scaling"}
                                           << QByteArray("leave out --single, --multi and --both");
    QTest::newRow("unknown flag") << QStringList{"--fast"} << QByteArray("--fast");
    QTest::newRow("control characters") << QStringList{"--type", "\x1b]0;title\x07\x1b[31mred\x7f"}
                                        << QByteArray("\\x1b]0;title\\x07\\x1b[31mred\\x7f");
    QTest::newRow("line break") << QStringList{"--length", "1\r\n2"} << QByteArray("1\\x0d\\x0a2");
    QTest::newRow("very long argument")
        << QStringList{longArgument} << ("unknown argument: --" + QByteArray(58, 'x') + "...");
    // Values given with "=" or, after -n and -t, at once.
    QTest::newRow("flag with a value")
        << QStringList{"--json=x"} << QByteArray("--json takes no value: --json=x");
    QTest::newRow("flag with an empty value")
        << QStringList{"--single", "--quiet="} << QByteArray("--quiet takes no value: --quiet=");
    QTest::newRow("unknown option with a value")
        << QStringList{"--fast=yes"} << QByteArray("unknown argument: --fast=yes");
    QTest::newRow("empty value after =")
        << QStringList{"--type="} << QByteArray("empty value for --type");
    QTest::newRow("empty value as the next argument")
        << QStringList{"--compare", ""} << QByteArray("empty value for --compare");
    QTest::newRow("short option, empty value")
        << QStringList{"-t", ""} << QByteArray("empty value for -t");
    QTest::newRow("doubled =") << QStringList{"--length==3"} << QByteArray("1 to 99999: =3");
    QTest::newRow("= after a short option") << QStringList{"-n=5"} << QByteArray("1 to 1000: =5");
    QTest::newRow("short option missing")
        << QStringList{"--single", "-n"} << QByteArray("missing value for -n");
    QTest::newRow("short option out of range") << QStringList{"-t0"} << QByteArray("4096: 0");
    QTest::newRow("flags are not bundled")
        << QStringList{"-qj"} << QByteArray("unknown argument: -qj");
    QTest::newRow("-v is not -V") << QStringList{"-v"} << QByteArray("unknown argument: -v");
    QTest::newRow("control characters after =")
        << QStringList{"--type=\x1b[31m"} << QByteArray("unknown test type: \\x1b[31m");
    QTest::newRow("long value after =") << QStringList{"--operations=" + QString(5000, '9')}
                                        << (": " + QByteArray(60, '9') + "...");
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
    QTest::newRow("right-to-left override") << QByteArray("Intel \xe2\x80\xae"
                                                          "UPC")
                                            << -1 << QByteArray("Intel \\u202eUPC");
    QTest::newRow("marks, embeddings, isolates")
        << QByteArray("a\xd8\x9c"
                      "b\xe2\x80\x8e\xe2\x80\x8f\xe2\x80\xaa\xe2\x80\xac"
                      "c\xe2\x81\xa6\xe2\x81\xa9")
        << -1 << QByteArray("a\\u061cb\\u200e\\u200f\\u202a\\u202cc\\u2066\\u2069");
    QTest::newRow("line and paragraph separators") << QByteArray("a\xe2\x80\xa8"
                                                                 "b\xe2\x80\xa9")
                                                   << -1 << QByteArray("a\\u2028b\\u2029");
    QTest::newRow("their neighbours stay")
        << QByteArray("\xe2\x80\x8d\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa") << -1
        << QByteArray("\xe2\x80\x8d\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa");
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
    for (const QString& separator : {QString("."), QString(","), QString("\u066b")})
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

// The facts beside the window's: the layout's version, when the work began,
// the system, the kernel, the cores and the speeds as numbers; null where
// unknown, never left out. Runs and --info say the same.
void TestCli::jsonContext_data() {
    QTest::addColumn<bool>("known");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("known, --info") << true << QStringList{"--info", "-j"};
    QTest::newRow("known, runs") << true << QStringList{"--operations=1000", "-j"};
    QTest::newRow("unknown, --info") << false << QStringList{"--info", "-j"};
    QTest::newRow("unknown, runs") << false << QStringList{"--operations=1000", "-j"};
}

void TestCli::jsonContext() {
    QFETCH(bool, known);
    QFETCH(QStringList, args);
    const std::string machine = ZENTARO_TEST_DATA "/machines/two-sockets";
    const NamedSystem os;
    const auto kernel = platform::CreateKernelRelease(machine);
    const auto topology = platform::CreateProcessorTopology(machine);
    Environment env = TestEnvironment();
    if (known) {
        env.system = {&os, kernel.get(), topology.get()};
        env.machine.currentSpeed = "4700 MHz";
        env.machine.currentSpeedMhz = 4700;
        int readings = 0;
        env.wallClock = [&readings] {
            ++readings;
            return At(1'796'950'923'250'000'000); // 2026-12-11 01:02:03.25
        };
        const Result r = Run(args, env);
        QCOMPARE(r.status, kExitOk);
        QCOMPARE(readings, 1);
        const QJsonObject root = ParseJson(r.out);
        QCOMPARE(root["schema_version"].toInteger(), 2);
        QCOMPARE(root["started_utc"].toString(), QString("2026-12-11T01:02:03Z"));
        const QJsonObject m = root["machine"].toObject();
        QCOMPARE(m["physical_cores"].toInteger(), 4);
        QCOMPARE(m["threads"].toInteger(), 2);
        QCOMPARE(m["base_speed_mhz"].toInteger(), 3600);
        QCOMPARE(m["base_speed"].toString(), QString("3600 MHz"));
        QCOMPARE(m["current_speed_mhz"].toInteger(), 4700);
        QCOMPARE(m["current_speed"].toString(), QString("4700 MHz"));
        QCOMPARE(m["os"].toString(), QString("Debian GNU/Linux 12 (bookworm)"));
        QCOMPARE(m["kernel"].toString(), QString("6.1.0-18-amd64"));
        // Numbers as JSON numbers: no quotes, no locale.
        QVERIFY2(r.out.find("\"base_speed_mhz\": 3600,") != std::string::npos, r.out.c_str());
        return;
    }
    const Result r = Run(args, env); // no sources, no wall clock
    QCOMPARE(r.status, kExitOk);
    const QJsonObject root = ParseJson(r.out);
    QCOMPARE(root["schema_version"].toInteger(), 2);
    QVERIFY(root.contains("started_utc") && root["started_utc"].isNull());
    const QJsonObject m = root["machine"].toObject();
    for (const char* key : {"physical_cores", "current_speed_mhz", "os", "kernel"})
        QVERIFY2(m.contains(key) && m[key].isNull(), key);
    QCOMPARE(m["current_speed"].toString(), QString("Unknown"));
    QCOMPARE(m["base_speed_mhz"].toInteger(), 3600);
}

void TestCli::utcTimestamp_data() {
    QTest::addColumn<qint64>("nanoseconds"); // after 1970
    QTest::addColumn<QString>("shown");
    QTest::newRow("1970") << qint64(0) << "1970-01-01T00:00:00Z";
    QTest::newRow("a fraction is cut, not rounded")
        << qint64(1'796'950'923'999'999'999) << "2026-12-11T01:02:03Z";
    // Before 1970 cutting towards zero would give the later second.
    QTest::newRow("just before 1970") << qint64(-1) << "1969-12-31T23:59:59Z";
    QTest::newRow("a whole day before 1970")
        << qint64(-86'400'000'000'000) << "1969-12-31T00:00:00Z";
    QTest::newRow("leap day") << qint64(1'709'251'199'000'000'000) << "2024-02-29T23:59:59Z";
    QTest::newRow("no leap day in 2100")
        << qint64(4'107'542'400'000'000'000) << "2100-03-01T00:00:00Z";
    QTest::newRow("latest") << std::numeric_limits<qint64>::max() << "2262-04-11T23:47:16Z";
    QTest::newRow("earliest") << std::numeric_limits<qint64>::min() << "1677-09-21T00:12:43Z";
}

void TestCli::utcTimestamp() {
    QFETCH(qint64, nanoseconds);
    QFETCH(QString, shown);
    QCOMPARE(QString::fromStdString(UtcTimestamp(At(nanoseconds))), shown);
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
    // A name that turns the rest of the line around shows its marks instead.
    env.machine.cpuName = "\xe2\x80\xae"
                          "UPC live\xe2\x81\xa7";
    const Result reordered = Run({"--info"}, env);
    QCOMPARE(reordered.status, kExitOk);
    QVERIFY2(reordered.out.find("CPU Name: \\u202eUPC live\\u2067\n") != std::string::npos,
             reordered.out.c_str());
    QVERIFY(reordered.out.find("\xe2\x80\xae") == std::string::npos);
}

// The new options at the edges of their ranges, and what they leave alone.
void TestCli::newOptions_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<int>("threads"); // 0: not given
    QTest::addColumn<bool>("scaling");
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<QString>("compare"); // empty: not given
    QTest::newRow("none") << QStringList{} << 1 << 0 << false << false << "";
    QTest::newRow("lowest") << QStringList{"--repeat", "1", "--threads", "1"} << 1 << 1 << false
                            << false << "";
    QTest::newRow("highest") << QStringList{"--repeat", "1000", "--threads", "4096"} << 1000 << 4096
                             << false << false << "";
    QTest::newRow("leading zeros")
        << QStringList{"--repeat", "007"} << 7 << 0 << false << false << "";
    QTest::newRow("last one counts")
        << QStringList{"--threads", "3", "--threads", "5"} << 1 << 5 << false << false << "";
    QTest::newRow("scaling, quiet, compare")
        << QStringList{"--scaling", "--quiet", "--compare", "--json"} << 1 << 0 << true << true
        << "--json";
}

void TestCli::newOptions() {
    QFETCH(QStringList, args);
    QFETCH(int, repeat);
    QFETCH(int, threads);
    QFETCH(bool, scaling);
    QFETCH(bool, quiet);
    QFETCH(QString, compare);
    const ParseResult r = ParseArguments(Args(args));
    QVERIFY2(r.error.empty(), r.error.c_str());
    QCOMPARE(int(r.options.repeat), repeat);
    QCOMPARE(int(r.options.threads.value_or(0)), threads);
    QCOMPARE(r.options.scaling, scaling);
    QCOMPARE(r.options.quiet, quiet);
    QCOMPARE(QString::fromStdString(r.options.compare.value_or("")), compare);
    QVERIFY(!r.options.json); // "--json" was the file name
}

// Everything the parser decided, for comparing two ways of writing the same.
std::string Decided(const ParseResult& r) {
    const Options& o = r.options;
    std::ostringstream out;
    out << "error=" << r.error << " type=" << WorkloadDisplayName(o.kind)
        << " ops=" << o.operationCount() << " single=" << o.single << " multi=" << o.multi
        << " mode=" << o.modeGiven << " repeat=" << o.repeat << " threads=" << o.threads.value_or(0)
        << " scaling=" << o.scaling << " quiet=" << o.quiet
        << " compare=" << o.compare.value_or("<none>") << " json=" << o.json << " info=" << o.info
        << " help=" << o.help << " version=" << o.version;
    return out.str();
}

// "--option=value", "-n5" and the short flags mean what the long forms do.
void TestCli::optionSpellings_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("same"); // the long forms, values as separate arguments
    QTest::newRow("--type=") << QStringList{"--type=bitwise logic"}
                             << QStringList{"--type", "bitwise logic"};
    QTest::newRow("--length=") << QStringList{"--length=5"} << QStringList{"--length", "5"};
    QTest::newRow("--operations=")
        << QStringList{"--operations=1000"} << QStringList{"--operations", "1000"};
    QTest::newRow("-n N") << QStringList{"-n", "3"} << QStringList{"--repeat", "3"};
    QTest::newRow("-nN") << QStringList{"-n3"} << QStringList{"--repeat", "3"};
    QTest::newRow("--repeat=") << QStringList{"--repeat=3"} << QStringList{"--repeat", "3"};
    QTest::newRow("-t N") << QStringList{"-t", "8"} << QStringList{"--threads", "8"};
    QTest::newRow("-tN") << QStringList{"-t08"} << QStringList{"--threads", "8"};
    QTest::newRow("--threads=") << QStringList{"--threads=8"} << QStringList{"--threads", "8"};
    // Only the first "=" ends the name; a value may begin with "-".
    QTest::newRow("= inside a file name")
        << QStringList{"--compare=a=b.json"} << QStringList{"--compare", "a=b.json"};
    QTest::newRow("file name like an option")
        << QStringList{"--compare=-q"} << QStringList{"--compare", "-q"};
    QTest::newRow("short flags") << QStringList{"-q", "-j", "-V", "-h"}
                                 << QStringList{"--quiet", "--json", "--version", "--help"};
    QTest::newRow("mixed, the last count wins")
        << QStringList{"-n2", "--repeat=4", "--scaling", "-t", "3", "--threads=6"}
        << QStringList{"--repeat", "4", "--scaling", "--threads", "6"};
}

void TestCli::optionSpellings() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, same);
    const ParseResult got = ParseArguments(Args(args));
    QVERIFY2(got.error.empty(), got.error.c_str());
    QCOMPARE(Decided(got), Decided(ParseArguments(Args(same))));
}

// Every spelling the parser takes is in --help, and every option --help lists
// is taken.
void TestCli::helpNamesEveryOption() {
    const std::string help = UsageText();
    const QList<QStringList> options = {{"--type", "Trigonometric"},
                                        {"--length", "1"},
                                        {"--operations", "1"},
                                        {"--single"},
                                        {"--multi"},
                                        {"--both"},
                                        {"--scaling"},
                                        {"-t", "1"},
                                        {"--threads", "1"},
                                        {"-n", "1"},
                                        {"--repeat", "1"},
                                        {"--compare", "f"},
                                        {"-q"},
                                        {"--quiet"},
                                        {"-j"},
                                        {"--json"},
                                        {"--info"},
                                        {"-h"},
                                        {"--help"},
                                        {"-V"},
                                        {"--version"}};
    for (const QStringList& option : options) {
        QVERIFY2(ParseArguments(Args(option)).error.empty(), qPrintable(option[0]));
        const std::string name = " " + option[0].toStdString();
        QVERIFY2(help.find(name + " ") != std::string::npos ||
                     help.find(name + ",") != std::string::npos,
                 qPrintable(option[0]));
    }
    std::istringstream lines(help);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.starts_with("  -"))
            continue; // not a line of the option list
        const std::size_t dashes = line.find("--");
        const std::string name = line.substr(dashes, line.find(' ', dashes) - dashes);
        QVERIFY2(std::any_of(options.begin(), options.end(),
                             [&](const QStringList& o) { return o[0].toStdString() == name; }),
                 name.c_str());
    }
}

// Median, range and spread over the runs with a speed; runs without one are
// counted but leave the figures alone.
void TestCli::summaryFigures_data() {
    QTest::addColumn<QString>("runs"); // speeds; f failed, t too short, s stopped
    QTest::addColumn<int>("measured");
    QTest::addColumn<double>("median"); // -1: null figures
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("spread");
    QTest::newRow("odd count, unsorted") << "30 10 20" << 3 << 20.0 << 10.0 << 30.0 << 1.0;
    QTest::newRow("even count: mean of the middle two")
        << "10 40 20 30" << 4 << 25.0 << 10.0 << 40.0 << 1.2;
    QTest::newRow("all equal") << "5 5 5 5" << 4 << 5.0 << 5.0 << 5.0 << 0.0;
    QTest::newRow("a failed run among them") << "10 f 30" << 2 << 20.0 << 10.0 << 30.0 << 1.0;
    QTest::newRow("too short and stopped") << "t 8 s" << 1 << 8.0 << 8.0 << 8.0 << 0.0;
    QTest::newRow("none measured") << "f t s" << 0 << -1.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("near the largest double")
        << "1.6e308 1.7e308" << 2 << 1.65e308 << 1.6e308 << 1.7e308 << 0.1 / 1.65;
}

void TestCli::summaryFigures() {
    QFETCH(QString, runs);
    QFETCH(int, measured);
    QFETCH(double, median);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(double, spread);
    std::vector<RunOutcome> outcomes;
    const QStringList items = runs.split(' ');
    for (const QString& item : items) {
        RunOutcome o;
        o.status = item == "f"   ? RunOutcome::Status::Failed
                   : item == "t" ? RunOutcome::Status::TooShort
                   : item == "s" ? RunOutcome::Status::Stopped
                                 : RunOutcome::Status::Completed;
        o.score = item.toDouble();
        outcomes.push_back(o);
    }
    // A run of another kind in the middle has a summary of its own.
    RunOutcome other;
    other.status = RunOutcome::Status::Completed;
    other.multiCore = true;
    other.threads = 2;
    other.score = 1e6;
    outcomes.insert(outcomes.begin() + 1, other);

    const std::vector<RunSummary> summary = Summarise(outcomes);
    QCOMPARE(summary.size(), std::size_t(2));
    const RunSummary& s = summary[0];
    QVERIFY(!s.multiCore);
    QCOMPARE(s.repeats, std::size_t(items.size()));
    QCOMPARE(int(s.measured), measured);
    QCOMPARE(summary[1].repeats, std::size_t(1));
    if (median < 0) {
        QVERIFY(!s.median && !s.minimum && !s.maximum && !s.spread && !s.ratingValue());
        return;
    }
    QCOMPARE(*s.median, median);
    QCOMPARE(*s.minimum, minimum);
    QCOMPARE(*s.maximum, maximum);
    QVERIFY2(qAbs(*s.spread - spread) < 1e-12, qPrintable(QString::number(*s.spread)));
}

// Each kind of run repeated in a row; the JSON keeps every run and sums them
// up, plain text shows every run and then the summary.
void TestCli::repeats() {
    Environment env = TestEnvironment();
    // 1,000,000 operations per worker: single-core runs of 2, 1 and 4 s, then
    // multi-core runs of 1 s each, one of them under a millisecond.
    const std::vector<std::chrono::milliseconds> spans = {2000ms, 1000ms, 4000ms,
                                                          1000ms, 0ms,    1000ms};
    env.clock = ScriptedClock(spans);
    const Result json = Run({"--operations", "1000000", "--repeat", "3", "--json"}, env);
    QCOMPARE(json.status, kExitOk);
    const QJsonObject root = ParseJson(json.out);
    const QJsonArray runs = root["runs"].toArray();
    QCOMPARE(runs.size(), 6);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(runs[i].toObject()["mode"].toString(), QString(i < 3 ? "single" : "multi"));
    QCOMPARE(runs[4].toObject()["status"].toString(), QString("too_short"));
    const QJsonArray summary = root["summary"].toArray();
    QCOMPARE(summary.size(), 2);
    const QJsonObject single = summary[0].toObject();
    QCOMPARE(single["mode"].toString(), QString("single"));
    QCOMPARE(single["test_type"].toString(), QString("Default"));
    QCOMPARE(single["threads"].toInt(), 1);
    QCOMPARE(single["repeats"].toInt(), 3);
    QCOMPARE(single["measured"].toInt(), 3);
    QCOMPARE(single["median_ops_per_second"].toDouble(), 500'000.0);
    QCOMPARE(single["min_ops_per_second"].toDouble(), 250'000.0);
    QCOMPARE(single["max_ops_per_second"].toDouble(), 1'000'000.0);
    QCOMPARE(single["spread"].toDouble(), 1.5);
    QCOMPARE(single["rating"].toString(), QString("Very Bad"));
    const QJsonObject multi = summary[1].toObject();
    QCOMPARE(multi["threads"].toInt(), 2);
    QCOMPARE(multi["repeats"].toInt(), 3);
    QCOMPARE(multi["measured"].toInt(), 2);
    QCOMPARE(multi["median_ops_per_second"].toDouble(), 2'000'000.0);
    QCOMPARE(multi["spread"].toDouble(), 0.0);
    QVERIFY(!root.contains("scaling"));
    QVERIFY(!root.contains("comparison"));
    QCOMPARE(root["warnings"].toArray().size(), 0);

    env.clock = ScriptedClock(spans);
    env.decimalSeparator = ",";
    const Result plain = Run({"--operations", "1000000", "--repeat", "3"}, env);
    QCOMPARE(plain.status, kExitOk);
    const QString text = QString::fromStdString(plain.out);
    QVERIFY(text.contains("Single-core run 3 of 3 (Default, 1000000 operations)\n"
                          "  Elapsed Time: 4,00 sec\n"));
    QVERIFY(text.contains("Multi-core run 2 of 3 (Default, 1000000 operations x 2 threads)\n"
                          "  Elapsed Time: 0,00 sec\n"
                          "  Multi-Core: too short to measure"));
    QVERIFY2(text.endsWith("\nSingle-core summary (Default, 3 of 3 runs measured)\n"
                           "  Median: 0,50 million ops/sec\n"
                           "  Range: 0,25 to 1,00 million ops/sec\n"
                           "  Spread: 150,00 %\n"
                           "  Rating: Very Bad\n"
                           "Multi-core summary (Default, 2 threads, 2 of 3 runs measured)\n"
                           "  Median: 2,00 million ops/sec\n"
                           "  Range: 2,00 to 2,00 million ops/sec\n"
                           "  Spread: 0,00 %\n"
                           "  Rating: Very Bad\n"),
             qPrintable(text));
}

// Worker counts of multi-core runs: the processors by default, --threads when
// given; --scaling climbs 1, 2, 4, ... to that count and rates each step
// against the single-core run.
void TestCli::threadsAndScaling_data() {
    QTest::addColumn<int>("processors");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QList<int>>("workers"); // of the multi-core runs, in order
    QTest::addColumn<bool>("overWarning");
    QTest::newRow("default count") << 3 << QStringList{"--multi"} << QList<int>{3} << false;
    QTest::newRow("fewer than the processors")
        << 4 << QStringList{"--multi", "--threads", "1"} << QList<int>{1} << false;
    QTest::newRow("more than the processors")
        << 2 << QStringList{"--threads", "5"} << QList<int>{5} << true;
    QTest::newRow("more, single-core only")
        << 2 << QStringList{"--threads", "5", "--single"} << QList<int>{} << false;
    QTest::newRow("scaling on one processor")
        << 1 << QStringList{"--scaling"} << QList<int>{1} << false;
    QTest::newRow("scaling on a power of two")
        << 8 << QStringList{"--scaling"} << QList<int>{1, 2, 4, 8} << false;
    QTest::newRow("scaling ends on the count itself")
        << 6 << QStringList{"--scaling"} << QList<int>{1, 2, 4, 6} << false;
    QTest::newRow("scaling up to --threads")
        << 2 << QStringList{"--scaling", "--threads", "3"} << QList<int>{1, 2, 3} << true;
}

void TestCli::threadsAndScaling() {
    QFETCH(int, processors);
    QFETCH(QStringList, args);
    QFETCH(QList<int>, workers);
    QFETCH(bool, overWarning);
    Environment env = TestEnvironment();
    env.threads = unsigned(processors);
    // The single-core run takes 1 s, every multi-core run 2 s: each worker
    // does half of what the single-core run does.
    env.clock = ScriptedClock({1000ms, 2000ms, 2000ms, 2000ms, 2000ms});
    const bool scaling = args.contains("--scaling");
    const Result r = Run(QStringList{"--operations", "1000", "--json"} + args, env);
    QCOMPARE(r.status, kExitOk);
    const QJsonObject root = ParseJson(r.out);
    QList<int> multi;
    for (const QJsonValue& v : root["runs"].toArray()) {
        if (v.toObject()["mode"].toString() == "multi")
            multi << v.toObject()["threads"].toInt();
    }
    QCOMPARE(multi, workers);
    bool warned = false;
    for (const QJsonValue& w : root["warnings"].toArray())
        warned |= w.toObject()["code"].toString() == "more_threads_than_processors";
    QCOMPARE(warned, overWarning);
    QCOMPARE(root.contains("scaling"), scaling);
    if (!scaling)
        return;
    const QJsonArray steps = root["scaling"].toArray();
    QCOMPARE(steps.size(), workers.size());
    for (int i = 0; i < steps.size(); ++i) {
        const QJsonObject step = steps[i].toObject();
        QCOMPARE(step["threads"].toInt(), workers[i]);
        QCOMPARE(step["ops_per_second"].toDouble(), workers[i] * 500.0);
        QCOMPARE(step["efficiency"].toDouble(), 0.5);
    }

    env.clock = ScriptedClock({1000ms, 2000ms, 2000ms, 2000ms, 2000ms});
    const Result plain = Run(QStringList{"--operations", "1000000", "--quiet"} + args, env);
    QCOMPARE(plain.status, kExitOk);
    QVERIFY2(QString::fromStdString(plain.out).contains(
                 "\nThread scaling (Default; efficiency: speed / (threads x "
                 "single-core speed))\n"
                 "  1 thread: 0.50 million ops/sec, efficiency 50.00 %\n"),
             plain.out.c_str());
}

// Each warning from a system root: the real sources read fixture trees, the
// load sample's wait rewrites /proc/stat, and a throttle counter rises
// inside the first run.
void TestCli::readinessWarnings_data() {
    QTest::addColumn<QString>("machine"); // a committed fixture; empty: the tree below
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QByteArray>("statLater"); // /proc/stat after the wait
    QTest::addColumn<bool>("throttled");       // a counter rises during the run
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QString>("shown"); // part of the plain text, "," as the separator
    const QByteArray calm = "cpu  1000 0 0 9000 0 0 0 0 0 0\n";
    const QByteArray later = "cpu  1002 0 0 9098 0 0 0 0 0 0\n";
    const QString cpu0 = "sys/devices/system/cpu/cpu0/";
    const QString ac = "sys/class/power_supply/AC/";
    const QString bat = "sys/class/power_supply/BAT0/";
    const QStringList none;
    QTest::newRow("calm machine") << "" << none << later << false << none << "";
    QTest::newRow("powersave governor")
        << "" << QStringList{cpu0 + "cpufreq/scaling_governor=powersave\\n"} << later << false
        << QStringList{"governor_not_performance"}
        << "governor is \"powersave\", not \"performance\"";
    QTest::newRow("on battery") << "" << QStringList{ac + "online=0", bat + "type=Battery"} << later
                                << false << QStringList{"on_battery"} << "on battery";
    QTest::newRow("busy") << "" << none << QByteArray("cpu  1020 0 5 9075 0 0 0 0 0 0\n") << false
                          << QStringList{"processors_busy"}
                          << "busy: 25,0 % of the processor time was in use in the 250 ms";
    QTest::newRow("busy at the limit")
        << "" << none << QByteArray("cpu  1010 0 0 9090 0 0 0 0 0 0\n") << false << none << "";
    QTest::newRow("busy just past the limit")
        << "" << none << QByteArray("cpu  1011 0 0 9090 0 0 0 0 0 0\n") << false
        << QStringList{"processors_busy"} << "10,9 %";
    QTest::newRow("host took the time")
        << "" << none << QByteArray("cpu  1000 0 0 9050 0 0 0 50 0 0\n") << false
        << QStringList{"processors_busy"} << "50,0 %";
    QTest::newRow("no time passed") << "" << none << calm << false << none << "";
    QTest::newRow("virtual machine")
        << "" << QStringList{"proc/cpuinfo=processor\t: 0\\nflags\t\t: fpu hypervisor\\n\\n"}
        << later << false << QStringList{"virtual_machine"} << "virtual machine";
    QTest::newRow("throttled during the run")
        << "" << none << later << true << QStringList{"thermal_throttling"}
        << "\nWarning: The processor slowed itself down for heat during the run (on 1 processor)";
    QTest::newRow("everything at once")
        << ""
        << QStringList{cpu0 + "cpufreq/scaling_governor=ondemand", ac + "online=0",
                       bat + "type=Battery",
                       "proc/cpuinfo=processor\t: 0\\nflags\t\t: hypervisor\\n\\n"}
        << QByteArray("cpu  2000 0 0 9000 0 0 0 0 0 0\n") << true
        << QStringList{"governor_not_performance", "on_battery", "processors_busy",
                       "virtual_machine", "thermal_throttling"}
        << "100,0 %";
    QTest::newRow("committed laptop on battery")
        << "laptop-on-battery" << none << QByteArray() << false
        << QStringList{"governor_not_performance", "on_battery"} << "";
    QTest::newRow("committed virtual machine")
        << "kvm-guest" << none << QByteArray() << false << QStringList{"virtual_machine"} << "";
}

void TestCli::readinessWarnings() {
    QFETCH(QString, machine);
    QFETCH(QStringList, tree);
    QFETCH(QByteArray, statLater);
    QFETCH(bool, throttled);
    QFETCH(QStringList, codes);
    QFETCH(QString, shown);
    const QString root = machine.isEmpty()
                             ? tmp_.filePath(QString("ready-") + QTest::currentDataTag())
                             : QStringLiteral(ZENTARO_TEST_DATA "/machines/") + machine;
    const QString counter = root + "/sys/devices/system/cpu/cpu0/thermal_throttle/"
                                   "core_throttle_count";
    // A calm machine, then the row's changes.
    const QStringList base = {
        "sys/devices/system/cpu/cpu0/cpufreq/scaling_governor=performance\\n",
        "sys/devices/system/cpu/cpu1/cpufreq/scaling_governor=performance\\n",
        "sys/class/power_supply/AC/type=Mains\\n",
        "sys/class/power_supply/AC/online=1\\n",
        "proc/cpuinfo=processor\t: 0\\nflags\t\t: fpu vme\\n\\n",
        "proc/stat=cpu  1000 0 0 9000 0 0 0 0 0 0\\n",
        "sys/devices/system/cpu/cpu0/thermal_throttle/core_throttle_count=5\\n",
    };
    const FixtureSources sources(root);
    for (const QStringList& extra : {QStringList{}, QStringList{"--quiet"}, QStringList{"--json"},
                                     QStringList{"--json", "--quiet"}}) {
        if (machine.isEmpty())
            QVERIFY(BuildTree(root, base + tree));
        Environment env = TestEnvironment();
        env.decimalSeparator = ",";
        sources.Attach(env);
        int waits = 0;
        env.readiness.wait = [&](std::chrono::milliseconds length) {
            ++waits;
            QCOMPARE(length, 250ms);
            if (!statLater.isEmpty())
                WriteText(root + "/proc/stat", statLater);
        };
        env.clock = ScriptedClock({2500ms}, [&] {
            if (throttled)
                WriteText(counter, "6\n");
        });
        const Result r = Run(QStringList{"--operations", "1000", "--single"} + extra, env);
        QCOMPARE(r.status, kExitOk);
        const QString text = QString::fromStdString(r.out);
        if (extra.contains("--json")) {
            QCOMPARE(waits, 1);
            QStringList got;
            for (const QJsonValue& v : ParseJson(r.out)["warnings"].toArray()) {
                got << v.toObject()["code"].toString();
                QVERIFY(!v.toObject()["message"].toString().isEmpty());
            }
            QCOMPARE(got, codes);
        } else if (extra.contains("--quiet")) {
            QCOMPARE(waits, 0); // nobody would see the figure
            QVERIFY(!text.contains("Warning"));
        } else {
            QCOMPARE(text.count("\nWarning: "), codes.size());
            QVERIFY2(text.contains(shown), qPrintable(text));
        }
    }
}

// 200,000 earlier runs, each of a kind of its own (another worker count): read
// and paired in a moment, not searched through once per run.
// The old search per run took over 30 s here.
constexpr std::chrono::seconds kManyKindsDeadline{ZENTARO_SANITIZED ? 180 : 20};

void TestCli::comparisonWithManyKinds() {
    const QString path = tmp_.filePath("many-kinds.json");
    QByteArray text = "{\"runs\": [";
    for (int i = 1; i <= 200'000; ++i) {
        if (i > 1)
            text += ",\n";
        text += "{\"mode\": \"single\", \"test_type\": \"Default\", \"threads\": " +
                QByteArray::number(i) + ", \"ops_per_second\": 500000.0}";
    }
    text += "]}";
    QVERIFY(WriteText(path, text));
    Environment env = TestEnvironment();
    env.clock = SteppingClock(1000ms);
    Result r;
    QVERIFY(testing::FinishesInTime(
        [&] {
            r = Run({"--operations", "1000000", "--single", "--compare", path, "--json"}, env);
        },
        {}, kManyKindsDeadline));
    QCOMPARE(r.status, kExitOk);
    const QJsonArray changes = ParseJson(r.out)["comparison"].toArray();
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes[0].toObject()["old_ops_per_second"].toDouble(), 500000.0);
}

void TestCli::lostRunThread_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("run");
    QTest::newRow("single-core, plain") << QStringList{"--single"} << "single-core";
    QTest::newRow("multi-core, JSON") << QStringList{"--multi", "--json"} << "multi-core";
    QTest::newRow("years of work") << QStringList{"--length", "99999", "--single"} << "single-core";
}

// A run whose thread is lost never posts its outcome: the program gives up
// once the longest time such a run can take has passed, says so and fails,
// instead of waiting forever.
void TestCli::lostRunThread() {
    QFETCH(QStringList, args);
    QFETCH(QString, run);
    Environment env = TestEnvironment();
    std::vector<std::shared_ptr<RunHandle>> started;
    env.testing.startRun = [&](const RunRequest& request, bool, unsigned workers, PostToCaller,
                               DisplayStep) {
        started.push_back(MakeRunHandle(request, workers));
        return started.back();
    };
    // Every reading of the wait's clock is a hundred days after the last.
    auto readings = std::make_shared<std::atomic<std::int64_t>>(0);
    env.testing.waitClock = [readings] { return 2400h * readings->fetch_add(1); };
    Result r;
    QVERIFY(testing::FinishesInTime([&] { r = Run(args, env); }));
    QCOMPARE(r.status, kExitFailure);
    QVERIFY2(IsOneCleanLine(r.err), r.err.c_str());
    QCOMPARE(QString::fromStdString(r.err),
             "zentaro-cli: the " + run +
                 " run gave no result in the longest time it can take; its thread was lost\n");
    QCOMPARE(started.size(), std::size_t(1));
    QVERIFY(started[0]->stopRequested()); // in case it still runs somewhere
    QVERIFY(r.out.find("\"runs\"") == std::string::npos);
}

// An earlier --json output against fixture files: pairs of the same kind
// with their change, or one line on standard error and nothing run.
void TestCli::comparison_data() {
    QTest::addColumn<QString>("file"); // in tests/data/results, or <kind> made here
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");       // part of the message; empty: compared
    QTest::addColumn<QStringList>("changes"); // mode type threads/old old new change
    QTest::addColumn<QString>("shown");       // part of the plain text
    const QString common = "it has no measured run of the same mode and test type";
    QTest::newRow("matching, median of the earlier runs")
        << "earlier.json" << QStringList{} << ""
        << QStringList{"single Default 1/1 500000 1e+06 1", "multi Default 2/2 2e+06 2e+06 0"}
        << "  Single-core, Default: 0.50 -> 1.00 million ops/sec (+100.00 %)\n"
           "  Multi-core, Default, 2 threads: 2.00 -> 2.00 million ops/sec (+0.00 %)\n";
    QTest::newRow("only what runs now")
        << "earlier.json" << QStringList{"--type", "integer arithmetic", "--single"} << ""
        << QStringList{"single Integer Arithmetic 1/1 9.00901e+06 1e+06 -0.889"} << "(-88.90 %)";
    QTest::newRow("another machine's worker count")
        << "other-machine.json" << QStringList{} << ""
        << QStringList{"single Default 1/1 1e+06 1e+06 0",
                       "multi Default 2/16 3.2e+06 2e+06 -0.375"}
        << "  Multi-core, Default, 16 -> 2 threads: 3.20 -> 2.00 million ops/sec (-37.50 %)\n";
    QTest::newRow("disjoint") << "disjoint.json" << QStringList{} << common << QStringList{} << "";
    QTest::newRow("only failed runs in common")
        << "only-failed.json" << QStringList{} << common << QStringList{} << "";
    QTest::newRow("scaling steps the file lacks")
        << "earlier.json" << QStringList{"--scaling", "--threads", "4"} << ""
        << QStringList{"single Default 1/1 500000 1e+06 1", "multi Default 2/2 2e+06 2e+06 0"}
        << "";
    QTest::newRow("malformed") << "malformed.json" << QStringList{} << ": not JSON" << QStringList{}
                               << "";
    QTest::newRow("invalid UTF-8")
        << "invalid-utf8.json" << QStringList{} << ": not JSON" << QStringList{} << "";
    QTest::newRow("empty") << "empty.json" << QStringList{} << ": the file is empty"
                           << QStringList{} << "";
    QTest::newRow("not a result") << "not-a-result.json" << QStringList{}
                                  << "not a zentaro-cli --json result (no \"runs\" list)"
                                  << QStringList{} << "";
    QTest::newRow("a run that is not one")
        << "bad-run.json" << QStringList{} << "(run 1 lacks a mode" << QStringList{} << "";
    QTest::newRow("speed below any run's")
        << "<speed 5e-324>" << QStringList{} << "(run 1 has a speed no run can measure)"
        << QStringList{} << "";
    QTest::newRow("speed above any run's")
        << "<speed 1e308>" << QStringList{} << "(run 1 has a speed no run can measure)"
        << QStringList{} << "";
    QTest::newRow("speed zero") << "<speed 0>" << QStringList{}
                                << "(run 1 has a speed no run can measure)" << QStringList{} << "";
    QTest::newRow("speed just above one operation in the longest wait")
        << "<speed 0.0167>" << QStringList{"--single"} << ""
        << QStringList{"single Default 1/1 0.0167 1e+06 5.99e+07"}
        << "  Single-core, Default: 0.00 -> 1.00 million ops/sec (+";
    QTest::newRow("speed just below one operation in the longest wait")
        << "<speed 0.0166666>" << QStringList{} << "(run 1 has a speed no run can measure)"
        << QStringList{} << "";
    QTest::newRow("speed below a millionth of an operation a second")
        << "<speed 1e-16>" << QStringList{} << "(run 1 has a speed no run can measure)"
        << QStringList{} << "";
    QTest::newRow("speed above the most operations in a millisecond")
        << "<speed 1e22>" << QStringList{} << "(run 1 has a speed no run can measure)"
        << QStringList{} << "";
    QTest::newRow("no threads") << "<threads 0>" << QStringList{} << "(run 1 has no threads)"
                                << QStringList{} << "";
    const QString tooDeep = "not a zentaro-cli --json result (nested more than 32 levels deep)";
    QTest::newRow("deeply nested") << "<deep>" << QStringList{} << tooDeep << QStringList{} << "";
    QTest::newRow("deeply nested inside a run")
        << "<deep run>" << QStringList{} << tooDeep << QStringList{} << "";
    QTest::newRow("--info, missing") << "<missing>" << QStringList{"--info"}
                                     << QString(std::strerror(ENOENT)) << QStringList{} << "";
    QTest::newRow("--info, malformed") << "malformed.json" << QStringList{"--info", "--json"}
                                       << ": not JSON" << QStringList{} << "";
    QTest::newRow("huge") << "<huge>" << QStringList{} << ": larger than 64 MiB" << QStringList{}
                          << "";
    QTest::newRow("folder") << "<folder>" << QStringList{} << ": not a regular file"
                            << QStringList{} << "";
    QTest::newRow("FIFO") << "<fifo>" << QStringList{} << ": not a regular file" << QStringList{}
                          << "";
    QTest::newRow("missing") << "<missing>" << QStringList{} << QString(std::strerror(ENOENT))
                             << QStringList{} << "";
}

void TestCli::comparison() {
    QFETCH(QString, file);
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    QFETCH(QStringList, changes);
    QFETCH(QString, shown);
    QString path = QStringLiteral(ZENTARO_TEST_DATA "/results/") + file;
    if (file.startsWith('<')) {
        path = tmp_.filePath(QString("compare-") + QTest::currentDataTag());
        if (file == "<deep>") // valid JSON, a hundred thousand levels deep
            QVERIFY(WriteText(path, QByteArray(100'000, '[') + QByteArray(100'000, ']')));
        else if (file == "<huge>")
            QVERIFY(testing::MakeSparseFile(path, qint64(64) * 1024 * 1024 + 1, "{\"runs\": ["));
        else if (file == "<folder>")
            QVERIFY(QDir().mkpath(path));
        else if (file == "<fifo>")
            QVERIFY(testing::MakeFifo(path));
        else if (file == "<deep run>")
            QVERIFY(WriteText(path, "{\"runs\": [{\"mode\": \"single\", \"results\": " +
                                        QByteArray(40, '[') + QByteArray(40, ']') + "}]}"));
        else if (file == "<threads 0>")
            QVERIFY(WriteText(path, "{\"runs\": [{\"mode\": \"single\", \"test_type\": "
                                    "\"Default\", \"threads\": 0, \"ops_per_second\": 1e6}]}"));
        else if (file.startsWith("<speed "))
            QVERIFY(WriteText(path, "{\"runs\": [{\"mode\": \"single\", \"test_type\": "
                                    "\"Default\", \"threads\": 1, \"ops_per_second\": " +
                                        file.mid(7).chopped(1).toLatin1() + "}]}"));
    }
    const QStringList common = QStringList{"--operations", "1000000", "--compare", path} + args;
    Environment env = TestEnvironment();
    env.clock = SteppingClock(1000ms);
    if (!error.isEmpty()) {
        env.identity = []() -> Identity { throw std::runtime_error("must not be needed"); };
        Result r;
        QVERIFY(testing::FinishesInTime([&] { r = Run(common, env); }, {path}));
        QCOMPARE(r.status, kExitUsage);
        QVERIFY(r.out.empty());
        QVERIFY2(IsOneCleanLine(r.err), r.err.c_str());
        QVERIFY2(
            r.err.starts_with("zentaro-cli: cannot compare with \"" + path.left(60).toStdString()),
            r.err.c_str());
        QVERIFY2(QString::fromStdString(r.err).contains(error), r.err.c_str());
        return;
    }
    const Result json = Run(common + QStringList{"--json"}, env);
    QCOMPARE(json.status, kExitOk);
    QStringList got;
    for (const QJsonValue& v : ParseJson(json.out)["comparison"].toArray()) {
        const QJsonObject c = v.toObject();
        got << QString("%1 %2 %3/%4 %5 %6 %7")
                   .arg(c["mode"].toString(), c["test_type"].toString())
                   .arg(c["threads"].toInt())
                   .arg(c["old_threads"].toInt())
                   .arg(c["old_ops_per_second"].toDouble())
                   .arg(c["new_ops_per_second"].toDouble())
                   .arg(QString::number(c["change"].toDouble(), 'g', 3));
    }
    QCOMPARE(got, changes);

    env.clock = SteppingClock(1000ms);
    const Result plain = Run(common, env);
    QCOMPARE(plain.status, kExitOk);
    const QString text = QString::fromStdString(plain.out);
    QVERIFY(text.contains("\nCompared with " + path + "\n"));
    QVERIFY2(text.contains(shown), qPrintable(text));
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

// The real program on this machine: repeats, scaling and warnings in one
// JSON object, which a second run then compares itself with.
void TestCli::executableRepeatsScalingAndComparison() {
    QTemporaryDir dir;
    const QString saved = dir.filePath("earlier.json");
    QProcess p;
    p.setStandardOutputFile(saved);
    // Long enough for a speed: a run under a millisecond has none to compare.
    p.start(CliPath(), {"--operations", "5000000", "--repeat", "2", "--scaling", "--json"});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QFile f(saved);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QJsonObject root = ParseJson(f.readAll().toStdString());
    QVERIFY(root["warnings"].isArray());
    const qsizetype steps = root["scaling"].toArray().size();
    QCOMPARE(
        steps,
        qsizetype(ScalingLadder(platform::CreateSystemInfo()->Basic().logicalProcessors).size()));
    QCOMPARE(root["summary"].toArray().size(), 1 + steps);
    QCOMPARE(root["runs"].toArray().size(), 2 * (1 + steps));

    QProcess again;
    again.start(CliPath(), {"--operations", "1000000", "--single", "--compare", saved, "--quiet"});
    QVERIFY(again.waitForFinished(60000));
    QCOMPARE(again.exitCode(), 0);
    const QString text = QString::fromUtf8(again.readAllStandardOutput());
    QVERIFY2(text.contains("\nCompared with " + saved + "\n  Single-core, Default: "),
             qPrintable(text));
}

void TestCli::executableHostileComparisonFiles_data() {
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("item"); // repeated up to 64 MiB
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QString>("error");
    QTest::newRow("64 MiB of [") << QByteArray() << QByteArray("[") << QByteArray()
                                 << "(nested more than 32 levels deep)";
    QTest::newRow("22 million empty runs")
        << QByteArray("{\"runs\": [{}") << QByteArray(",{}") << QByteArray("]}")
        << "(run 1 lacks a mode, test type, thread count or speed)";
    QTest::newRow("33 million numbers beside the runs")
        << QByteArray("{\"runs\": [], \"x\": [0") << QByteArray(",0") << QByteArray("]}")
        << "it has no measured run of the same mode and test type";
    QTest::newRow("a million runs that measured nothing")
        << QByteArray("{\"runs\": [") +
               "{\"mode\": \"single\", \"test_type\": \"Default\", \"threads\": 1, "
               "\"ops_per_second\": null}"
        << QByteArray(
               ",{\"mode\":\"single\",\"test_type\":\"\",\"threads\":1,\"ops_per_second\":null}")
        << QByteArray("]}") << "it has no measured run of the same mode and test type";
}

// Files of the largest size read, shaped to cost the reader the most: the
// real program refuses each, saying why, in a fraction of the memory the
// whole parsed file would take.
void TestCli::executableHostileComparisonFiles() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    QSKIP("sanitizers reserve more address space than the limit allows");
#endif
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, item);
    QFETCH(QByteArray, tail);
    QFETCH(QString, error);
    const qsizetype size = qsizetype(kMaxEarlierResultBytes);
    QByteArray text = head;
    text.reserve(size);
    const qsizetype items = (size - head.size() - tail.size()) / item.size();
    for (qsizetype i = 0; i < items; ++i)
        text += item;
    text += tail;
    QVERIFY(text.size() <= size && text.size() > size - item.size() - 1);
    const QString path = tmp_.filePath("hostile.json");
    QVERIFY(WriteText(path, text));
    text.clear();
    text.squeeze();
    Child child;
    // The file's text and the program, with room to spare; the whole parsed
    // file would take gigabytes.
    QVERIFY(RunThroughShell(R"(ulimit -v 400000 && exec "$0" "$@")",
                            {"--single", "--operations", "1000", "--compare", path}, child));
    QFile::remove(path);
    QCOMPARE(child.exitCode, kExitUsage);
    QVERIFY(child.out.isEmpty());
    QVERIFY2(QString::fromUtf8(child.err).contains(error), child.err.constData());
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
