// The update check: its settings in a temporary folder, the daily ration,
// the reading of the reply and the version rule, against a real local server.
#include "online/check.h"
#include "support/fakeonline.h"
#include "testserver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>
#include <vector>

using namespace zentaro;
using namespace zentaro::online;
using zentaro::testing::CheckReply;
using zentaro::testing::TestServer;

namespace {

using zentaro::testing::FixedLocale;
using zentaro::testing::FixedMachine;
using zentaro::testing::FixedOs;

// One program run's check after another against the same server and store.
struct Fixture {
    QTemporaryDir dir;
    TestServer server;
    std::shared_ptr<FixedMachine> machine = std::make_shared<FixedMachine>(platform::MachineId{
        platform::MachineId::Status::Found, "00112233445566778899aabbccddeeff"});
    QDate day{2025, 12, 9};

    Fixture() {
        server.start();
        server.respond = [](const TestServer::Request&) {
            return TestServer::Answer{200, "text/plain", CheckReply("1.1")};
        };
    }
    QString settingsFile() const { return dir.filePath("Zentaro.conf"); }

    CheckInputs inputs() {
        CheckInputs in;
        in.AppTitle = "KESTRIX - Zentaro";
        in.AppVersion = "1.0";
        in.server = {server.host(), 5000,
                     QSslCertificate::fromData(TestServer::trustedCertificatePem())};
        in.os = std::make_shared<FixedOs>(
            platform::OsFacts{"Debian GNU/Linux 12 (bookworm)", 6, 1, 0, 0, true});
        in.locale = std::make_shared<FixedLocale>("de-DE");
        in.machine = machine;
        in.settingsFile = settingsFile();
        in.today = [this] { return day; };
        return in;
    }

    std::unique_ptr<CheckState> run() {
        auto state = std::make_unique<CheckState>();
        CheckNow(inputs(), *state);
        return state;
    }

    QString stored(const char* name) const {
        return QSettings(settingsFile(), QSettings::IniFormat)
            .value(QStringLiteral("Settings/") + QLatin1String(name))
            .toString();
    }
    void store(const char* name, const QString& value) {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Settings/") + QLatin1String(name), value);
    }
};

} // namespace

class TestOnlineCheck : public QObject {
    Q_OBJECT

private slots:
    void init();
    void versionRule_data();
    void versionRule();
    void downloadAddress_data();
    void downloadAddress();
    void fieldsOfTheCheck();
    void sixStartsOnOneDay();
    void dateFormatChangeRestartsTheCount();
    void startsTogether_data();
    void startsTogether();
    void lockLeftBehind_data();
    void lockLeftBehind();
    void showUpdateOffOrUnusual_data();
    void showUpdateOffOrUnusual();
    void readingTheReply_data();
    void readingTheReply();
    void failureRecord();
    void closingWhileTheCheckWaits();
};

void TestOnlineCheck::init() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestOnlineCheck::versionRule_data() {
    QTest::addColumn<QString>("latest");
    QTest::addColumn<int>("showUpdate");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("due");
    QTest::newRow("same version") << "1.0" << 1 << 1 << false;
    QTest::newRow("1.00 differs") << "1.00" << 1 << 1 << true;
    QTest::newRow("older differs too") << "0.9" << 1 << 1 << true;
    QTest::newRow("newer") << "1.1" << 1 << 3 << true;
    QTest::newRow("letters") << "1.1b" << 1 << 1 << false;
    QTest::newRow("empty") << "" << 1 << 1 << false;
    QTest::newRow("dots only") << ".." << 1 << 1 << false;
    QTest::newRow("signed") << "-1.1" << 1 << 1 << true;
    QTest::newRow("beyond int") << "2147483.648" << 1 << 1 << false;
    QTest::newRow("fourth check of the day") << "1.1" << 1 << 4 << false;
    QTest::newRow("notifications off") << "1.1" << 0 << 1 << false;
    QTest::newRow("ShowUpdate 2") << "1.1" << 2 << 1 << false;
}

void TestOnlineCheck::versionRule() {
    QFETCH(QString, latest);
    QFETCH(int, showUpdate);
    QFETCH(int, count);
    QFETCH(bool, due);
    QCOMPARE(NoticeDue(latest, "1.0", showUpdate, count), due);
}

void TestOnlineCheck::downloadAddress_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("opened");
    const QString home = "http://www.kestrix.example";
    QTest::newRow("https") << "https://dl.example/Zentaro-1.1.zip"
                           << "https://dl.example/Zentaro-1.1.zip";
    QTest::newRow("http with port and query") << "http://dl.example:8080/get?v=1.1"
                                              << "http://dl.example:8080/get?v=1.1";
    QTest::newRow("scheme in capitals") << "HTTPS://dl.example/"
                                        << "HTTPS://dl.example/";
    QTest::newRow("empty") << "" << home;
    QTest::newRow("file address") << "file:///etc/passwd" << home;
    QTest::newRow("local path") << "/usr/bin/xterm" << home;
    QTest::newRow("other scheme") << "javascript:alert(1)" << home;
    QTest::newRow("no host") << "http:///path" << home;
    QTest::newRow("relative") << "dl.example/z.zip" << home;
    QTest::newRow("blank inside") << "http://dl.example/a b" << home;
    QTest::newRow("blank before") << " http://dl.example/" << home;
    QTest::newRow("malformed") << "http://[::1" << home;
}

void TestOnlineCheck::downloadAddress() {
    QFETCH(QString, url);
    QFETCH(QString, opened);
    QCOMPARE(DownloadAddress(url, "www.kestrix.example"), opened);
}

void TestOnlineCheck::fieldsOfTheCheck() {
    Fixture f;
    const auto state = f.run();
    QVERIFY(state->Finished());
    QVERIFY2(!state->CheckFailed, qPrintable(state->CheckFailureText));
    QCOMPARE(f.server.requests.size(), 1);
    const TestServer::Request& request = f.server.requests[0];
    // Over HTTPS; where the server cannot serve it, the fields come over the fallback.
    QCOMPARE(request.tls, !TestServer::tlsMissing());
    QCOMPARE(request.path, QByteArray("/php/check2.php"));
    QStringList names;
    for (const auto& field : request.fields)
        names << field.first;
    QCOMPARE(names, (QStringList{"cmd", "appname", "version", "os", "local", "guid"}));
    QCOMPARE(request.field("cmd"), QStringLiteral("check"));
    QCOMPARE(request.field("appname"), QStringLiteral("KESTRIX - Zentaro"));
    QCOMPARE(request.field("version"), QStringLiteral("1.0"));
    QCOMPARE(
        request.field("os"),
        QStringLiteral("Debian GNU/Linux 12 (bookworm) (Version 6.1, Build 0, 64-bit Edition)"));
    QCOMPARE(request.field("local"), QStringLiteral("de-DE"));
    QCOMPARE(request.field("guid"), GetMachineGuid(*f.machine));
    QCOMPARE(state->LatestVersion, QStringLiteral("1.1"));
    QCOMPARE(state->DownloadURL, QStringLiteral("http://dl.example/z.zip"));
    QVERIFY(state->NewVersionAvailable);

    // Without a machine id the field is sent empty, and nothing fails.
    f.machine->id = {platform::MachineId::Status::Missing, {}};
    const auto second = f.run();
    QVERIFY(!second->CheckFailed);
    QCOMPARE(f.server.requests.size(), 2);
    QVERIFY(f.server.requests[1].hasField("guid"));
    QCOMPARE(f.server.requests[1].field("guid"), QString());
}

void TestOnlineCheck::sixStartsOnOneDay() {
    Fixture f;
    QVERIFY(!QFile::exists(f.settingsFile()));
    const bool notice[] = {true, true, true, false, false, false};
    const int asked[] = {1, 2, 3, 4, 5, 5};
    for (int start = 0; start < 6; ++start) {
        const auto state = f.run();
        QVERIFY(state->Finished());
        QCOMPARE(f.server.requests.size(), asked[start]);
        QCOMPARE(state->NewVersionAvailable, notice[start]);
        QCOMPARE(f.stored("LastUpdateCheck"), QStringLiteral("12/9/25"));
        QCOMPARE(f.stored("LastUpdateCheckCount"), QString::number(std::min(start + 1, 5)));
    }
    // The next day starts again.
    f.day = f.day.addDays(1);
    QVERIFY(f.run()->NewVersionAvailable);
    QCOMPARE(f.stored("LastUpdateCheck"), QStringLiteral("12/10/25"));
    QCOMPARE(f.stored("LastUpdateCheckCount"), QStringLiteral("1"));
}

void TestOnlineCheck::startsTogether_data() {
    QTest::addColumn<int>("copies");
    QTest::newRow("three") << 3;
    QTest::newRow("eight") << 8;
}

// Copies of the program started at the same moment, each with its check on a
// thread of its own against one settings file: the day's ration holds, and the
// count says how many asked.
void TestOnlineCheck::startsTogether() {
    QFETCH(int, copies);
    Fixture f;
    const CheckInputs inputs = f.inputs();
    std::atomic<int> ended{0};
    std::vector<CheckState> states(static_cast<std::size_t>(copies));
    std::vector<std::thread> threads;
    for (CheckState& state : states)
        threads.emplace_back([&inputs, &state, &ended] {
            CheckNow(inputs, state);
            ++ended;
        });
    // The server answers on this thread.
    QDeadlineTimer deadline(60000);
    while (ended < copies && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (ended < copies)
        qFatal("the checks have not ended within a minute");
    for (std::thread& thread : threads)
        thread.join();
    const int asked = std::min(copies, 5);
    QCOMPARE(f.server.requests.size(), asked);
    QCOMPARE(f.stored("LastUpdateCheckCount"), QString::number(asked));
    int notices = 0;
    for (const CheckState& state : states)
        notices += state.NewVersionAvailable ? 1 : 0;
    QCOMPARE(notices, std::min(copies, 3));
    // Three more starts on the same day: only what is left of the five.
    for (int start = 0; start < 3; ++start)
        f.run();
    QCOMPARE(f.server.requests.size(), std::min(copies + 3, 5));
    QCOMPARE(f.stored("LastUpdateCheckCount"), QString::number(std::min(copies + 3, 5)));
    QVERIFY(!QFile::exists(f.settingsFile() + ".lock"));
}

void TestOnlineCheck::lockLeftBehind_data() {
    QTest::addColumn<QString>("lock");
    QTest::addColumn<bool>("asked");
    QTest::newRow("an hour old") << "old" << true;
    QTest::newRow("unreadable, just made") << "garbage" << true;
    QTest::newRow("a folder, never free") << "folder" << false;
}

// A lock file left by a copy that died does not hold up the check; one that can
// never be had means no check this time, and the record says why.
void TestOnlineCheck::lockLeftBehind() {
    QFETCH(QString, lock);
    QFETCH(bool, asked);
    Fixture f;
    const QString lockFile = f.settingsFile() + ".lock";
    if (lock == "folder") {
        QVERIFY(QDir(f.dir.path()).mkdir("Zentaro.conf.lock"));
    } else {
        QFile file(lockFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lock == "old" ? "999999\nzentaro\nanother-host\n" : "\x01\x02");
        if (lock == "old")
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                     QFileDevice::FileModificationTime));
    }
    std::unique_ptr<CheckState> state;
    QDeadlineTimer deadline(30000);
    state = f.run();
    QVERIFY(!deadline.hasExpired());
    QVERIFY(state->Finished());
    QCOMPARE(f.server.requests.size(), asked ? 1 : 0);
    QCOMPARE(f.stored("LastUpdateCheckCount"), asked ? QString("1") : QString());
    QCOMPARE(state->CheckFailureText.contains("Settings lock problem"), !asked);
}

void TestOnlineCheck::dateFormatChangeRestartsTheCount() {
    Fixture f;
    f.store("LastUpdateCheck", "12/9/25");
    f.store("LastUpdateCheckCount", "5");
    // The user now writes dates the German way: the same day reads differently.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QVERIFY(f.run()->NewVersionAvailable);
    QCOMPARE(f.server.requests.size(), 1);
    QCOMPARE(f.stored("LastUpdateCheck"), QStringLiteral("09.12.25"));
    QCOMPARE(f.stored("LastUpdateCheckCount"), QStringLiteral("1"));
}

void TestOnlineCheck::showUpdateOffOrUnusual_data() {
    QTest::addColumn<QString>("showUpdate");
    QTest::addColumn<int>("read");
    QTest::addColumn<bool>("asked");
    QTest::newRow("0: off") << "0" << 0 << false;
    QTest::newRow("2, written by hand") << "2" << 2 << true;
    QTest::newRow("not a number: on") << "yes" << 1 << true;
}

void TestOnlineCheck::showUpdateOffOrUnusual() {
    QFETCH(QString, showUpdate);
    QFETCH(int, read);
    QFETCH(bool, asked);
    Fixture f;
    f.store("ShowUpdate", showUpdate);
    f.store("LastUpdateCheck", "12/9/25");
    f.store("LastUpdateCheckCount", "2");
    const auto state = f.run();
    QVERIFY(state->Finished());
    QCOMPARE(state->ShowUpdate, read);
    QCOMPARE(f.server.requests.size(), asked ? 1 : 0);
    QCOMPARE(f.stored("LastUpdateCheckCount"), asked ? QStringLiteral("3") : QStringLiteral("2"));
    QCOMPARE(state->NewVersionAvailable, read == 1);
    QCOMPARE(f.stored("ShowUpdate"), showUpdate); // the check never writes it
}

Q_DECLARE_METATYPE(TestServer::Tls)

void TestOnlineCheck::readingTheReply_data() {
    QTest::addColumn<TestServer::Tls>("tls");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("machineIdFails");
    QTest::addColumn<bool>("used");

    const auto trusted = TestServer::Tls::Trusted;
    const auto refused = TestServer::Tls::Refused;
    QTest::newRow("CR LF") << trusted << 200 << CheckReply("1.1") << false << true;
    QTest::newRow("LF") << trusted << 200 << CheckReply("1.1", "u", "\n") << false << true;
    QTest::newRow("CR") << trusted << 200 << CheckReply("1.1", "u", "\r") << false << true;
    QTest::newRow("result 0 is valid too")
        << trusted << 200 << QByteArray("<version>1.1</version>\n<url></url>\n\n<result>0</result>")
        << false << true;
    QTest::newRow("ERROR first") << trusted << 200 << "ERROR\n" + CheckReply("1.1") << false
                                 << false;
    QTest::newRow("three lines") << trusted << 200
                                 << QByteArray(
                                        "<version>1.1</version>\n<url></url>\n<result>1</result>\n")
                                 << false << false;
    QTest::newRow("result 2") << trusted << 200
                              << QByteArray(
                                     "<version>1.1</version>\n<url></url>\n\n<result>2</result>")
                              << false << false;
    QTest::newRow("500 with a page over https")
        << trusted << 500 << QByteArray("<html>\n<body>\n<p>Error</p>\n</body>\n</html>\n") << false
        << false;
    QTest::newRow("https refused, http answers")
        << refused << 200 << CheckReply("1.1") << false << true;
    QTest::newRow("machine id unreadable, https answers")
        << trusted << 200 << CheckReply("1.1") << true << false;
    QTest::newRow("machine id unreadable, http answers")
        << refused << 200 << CheckReply("1.1") << true << true;
    QTest::newRow("https refused, http 500")
        << refused << 500 << CheckReply("1.1") << false << false;
}

void TestOnlineCheck::readingTheReply() {
    QFETCH(TestServer::Tls, tls);
    QFETCH(int, status);
    QFETCH(QByteArray, reply);
    QFETCH(bool, machineIdFails);
    QFETCH(bool, used);
    // The rows named for their answer over HTTPS; where the server cannot serve
    // it, the others read theirs over the fallback.
    const bool namedForHttps =
        tls == TestServer::Tls::Trusted && QByteArray(QTest::currentDataTag()).contains("https");
    if (const char* why = TestServer::tlsMissing(); why && namedForHttps)
        QSKIP(why);
    Fixture f;
    f.server.tls = tls;
    f.server.respond = [=](const TestServer::Request&) {
        return TestServer::Answer{status, "text/plain", reply};
    };
    if (machineIdFails)
        f.machine->id = {platform::MachineId::Status::Unreadable, {}};
    const auto state = f.run();
    QVERIFY(state->Finished());
    QCOMPARE(f.server.requests.size(), 1);
    QCOMPARE(state->CheckFailed, !used);
    QCOMPARE(state->NewVersionAvailable, used);
    QCOMPARE(state->LatestVersion, used ? QStringLiteral("1.1") : QString());
    if (machineIdFails && used)
        QCOMPARE(f.server.requests[0].field("guid"), QString());
}

void TestOnlineCheck::failureRecord() {
    // The texts, in order, with two CR characters between them.
    Fixture f;
    f.server.tls = TestServer::Tls::Refused;
    f.server.respond = [](const TestServer::Request&) {
        return TestServer::Answer{404, "text/plain", "none"};
    };
    f.machine->id = {platform::MachineId::Status::Unreadable, {}};
    auto state = f.run();
    QVERIFY(state->CheckFailed);
    const QStringList parts = state->CheckFailureText.split("\r\r");
    QCOMPARE(parts.size(), 3);
    QCOMPARE(parts[0], QStringLiteral("Error: GUID generate problem!"));
    QVERIFY2(parts[1].startsWith("HTTPS Response:\r") && parts[1].size() > 16,
             qPrintable(parts[1]));
    QVERIFY2(parts[2].startsWith("HTTP Response:\r") && parts[2].size() > 15, qPrintable(parts[2]));

    // Blank messages are not noted.
    CheckState record;
    record.NoteFailure(" \t ");
    QVERIFY(!record.CheckFailed);
    record.NoteFailure("a");
    record.NoteFailure("b");
    QCOMPARE(record.CheckFailureText, QStringLiteral("a\r\rb"));
    record.ClearFailures();
    QVERIFY(!record.CheckFailed && record.CheckFailureText.isEmpty());

    if (const char* why = TestServer::tlsMissing())
        QSKIP(why); // the rest needs an answer over HTTPS
    // A store that cannot be opened: noted, defaults read, nothing written, and
    // the HTTPS reply of this check is not used.
    Fixture g;
    QFile blocker(g.dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    CheckInputs inputs = g.inputs();
    inputs.settingsFile = g.dir.filePath("file/Zentaro.conf");
    state = std::make_unique<CheckState>();
    CheckNow(inputs, *state);
    QCOMPARE(state->CheckFailureText, QStringLiteral("Error: Registry open problem!"));
    QCOMPARE(g.server.requests.size(), 1);
    QVERIFY(!state->NewVersionAvailable);
}

void TestOnlineCheck::closingWhileTheCheckWaits() {
    Fixture f;
    f.server.respond = [](const TestServer::Request&) { return TestServer::Answer{.hang = true}; };
    CheckInputs inputs = f.inputs();
    inputs.server.timeoutMs.reset(); // the real ten seconds
    auto state = std::make_shared<CheckState>();
    auto checker = std::make_unique<TChecker>(std::move(inputs), state);
    QTRY_COMPARE_WITH_TIMEOUT(f.server.requests.size(), 1, 5000);
    QVERIFY(!state->Finished());
    checker.reset();
    // The thread has ended and let go of the state: it was not left running.
    QCOMPARE(state.use_count(), 1);
    QVERIFY(state->Finished());
    QVERIFY(state->CheckFailed);
    QVERIFY(!state->NewVersionAvailable);
    QCOMPARE(f.server.requests.size(), 1); // no plain HTTP attempt after closing
}

QTEST_GUILESS_MAIN(TestOnlineCheck)
#include "test_online_check.moc"
