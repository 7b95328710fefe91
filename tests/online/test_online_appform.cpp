// The main window's part of the online services: the update check on its
// timer, the menu item, the notice, and the feedback window from the menu,
// against a real local server.
#include "app/appform.h"
#include "appfonts.h"
#include "online/feedback.h"
#include "online/newversion.h"
#include "online/protocol.h"
#include "processresources.h"
#include "support/appfixture.h"
#include "support/fakeonline.h"
#include "support/find.h"
#include "support/modaldriver.h"
#include "support/oddfiles.h"
#include "testserver.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace zentaro;
using zentaro::app::TAppForm;
using zentaro::testing::CheckReply;
using zentaro::testing::ModalDriver;
using zentaro::testing::TestServer;

namespace {

// The main window's fixture with its online services pointed at a server of
// the test's own, which answers the check with `version`.
struct Fixture : testing::Fixture {
    TestServer server;
    QByteArray version = "1.1";
    std::optional<int> timeoutMs = 5000;
    bool updateCheck = true;

    Fixture() {
        cpuName = "Test CPU";
        processors = 2;
        server.start();
        server.respond = [this](const TestServer::Request& r) {
            if (r.path == "/php/feedback.php")
                return TestServer::Answer{200, "text/plain", "OK"};
            return TestServer::Answer{200, "text/plain",
                                      CheckReply(version, "https://dl.example/z")};
        };
    }
    QString stored(const char* name) const {
        return QSettings(settingsFile(), QSettings::IniFormat)
            .value(QStringLiteral("Settings/") + QLatin1String(name))
            .toString();
    }

    app::AppEnvironment environment() const {
        app::AppEnvironment env = testing::Fixture::environment();
        env.serverHost = server.host().toStdString();
        env.online.updateCheck = updateCheck;
        env.online.os =
            std::make_shared<testing::FixedOs>(platform::OsFacts{"Test Linux", 6, 1, 0, 0, true});
        env.online.locale = std::make_shared<testing::FixedLocale>("en-US");
        env.online.machine = std::make_shared<testing::FixedMachine>();
        env.online.testing.today = [] { return QDate(2025, 12, 9); };
        env.online.testing.requestTimeoutMs = timeoutMs;
        env.online.testing.trustedCertificatesPem = TestServer::trustedCertificatePem();
        return env;
    }
};

// The update check's ticks, stepped by hand as the 1-second timer would: the
// first starts the check, the later ones look for its end. True once the
// menu item says the check is over.
bool TickUntilChecked(TAppForm& form) {
    QAction* item = testing::Find<QAction>(form, "UpdateNotifications1");
    QDeadlineTimer deadline(10'000);
    form.TimerCheckerTimer();
    while (!item->isEnabled() && !deadline.hasExpired()) {
        QTest::qWait(5);
        form.TimerCheckerTimer();
    }
    return item->isEnabled();
}

// The user's settings file as another program may have left it, its folder
// made first.
bool WriteSettingsFile(const QString& file, const QByteArray& contents) {
    QFile raw(file);
    return QDir().mkpath(QFileInfo(file).path()) && raw.open(QIODevice::WriteOnly) &&
           raw.write(contents) == contents.size();
}

} // namespace

class TestOnlineAppForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void updateCheck_data();
    void updateCheck();
    void menuItemWritesShowUpdate();
    void checkOffAsksNothing();
    void settingsThatCannotBeUsed_data();
    void settingsThatCannotBeUsed();
    void switchThatCannotBeKept();
    void closingWhileTheCheckWaits();
    void endlessHeadersLeaveNothing_data();
    void endlessHeadersLeaveNothing();
    void feedbackFromTheMenu();
};

void TestOnlineAppForm::initTestCase() {
    QVERIFY(assets::RegisterTahoma());
    QApplication::setQuitOnLastWindowClosed(false);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestOnlineAppForm::updateCheck_data() {
    QTest::addColumn<QString>("showUpdate"); // stored before the start; empty: first start ever
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("notice");
    QTest::addColumn<bool>("checked");
    QTest::newRow("first start, 1.1") << "" << QByteArray("1.1") << true << true << true;
    QTest::newRow("same version") << "1" << QByteArray("1.0") << true << false << true;
    QTest::newRow("ShowUpdate 0") << "0" << QByteArray("1.1") << false << false << false;
    QTest::newRow("ShowUpdate 2") << "2" << QByteArray("1.1") << true << false << true;
}

void TestOnlineAppForm::updateCheck() {
    QFETCH(QString, showUpdate);
    QFETCH(QByteArray, version);
    QFETCH(bool, asked);
    QFETCH(bool, notice);
    QFETCH(bool, checked);
    Fixture f;
    f.version = version;
    if (!showUpdate.isEmpty())
        QSettings(f.settingsFile(), QSettings::IniFormat)
            .setValue("Settings/ShowUpdate", showUpdate);

    TAppForm form(f.environment());
    form.show();
    QAction* item = testing::Find<QAction>(form, "UpdateNotifications1");
    QVERIFY(item->isChecked() && !item->isEnabled());
    auto* timer = form.findChild<QTimer*>("TimerChecker");
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 1000);

    // A tick starts the check, a later one sees it finished and stops the timer.
    QVERIFY(TickUntilChecked(form));
    QVERIFY(!timer->isActive());
    QCOMPARE(item->isChecked(), checked);
    QCOMPARE(f.server.requests.size(), asked ? 1 : 0);
    QCOMPARE(f.stored("LastUpdateCheckCount"), asked ? QStringLiteral("1") : QString());
    if (asked)
        QCOMPARE(f.server.requests[0].field("appname"), QStringLiteral("KESTRIX - Zentaro"));

    auto* newVer = form.findChild<online::TNewVer*>();
    QCOMPARE(newVer != nullptr, notice);
    if (notice) {
        QTRY_VERIFY_WITH_TIMEOUT(newVer->isVisible(), 5000);
        QCOMPARE(newVer->findChild<QLabel*>("Label2")->text(),
                 QStringLiteral("Click to download Zentaro 1.1"));
        QTest::mouseClick(newVer->findChild<QLabel*>("Label2"), Qt::LeftButton);
        QCOMPARE(f.opener->urls, std::vector<std::string>{"https://dl.example/z"});
    }
}

void TestOnlineAppForm::menuItemWritesShowUpdate() {
    Fixture f;
    TAppForm form(f.environment());
    QAction* item = testing::Find<QAction>(form, "UpdateNotifications1");
    QVERIFY(TickUntilChecked(form));
    QVERIFY(item->isChecked());
    item->trigger();
    QVERIFY(!item->isChecked());
    QCOMPARE(f.stored("ShowUpdate"), QStringLiteral("0"));
    item->trigger();
    QVERIFY(item->isChecked());
    QCOMPARE(f.stored("ShowUpdate"), QStringLiteral("1"));
    QCOMPARE(f.server.requests.size(), 1); // the running program's check is not repeated
}

void TestOnlineAppForm::checkOffAsksNothing() {
    // As the tests of the window's other parts have it: no server, no store.
    Fixture f;
    f.updateCheck = false;
    TAppForm form(f.environment());
    QAction* item = testing::Find<QAction>(form, "UpdateNotifications1");
    QVERIFY(TickUntilChecked(form));
    QVERIFY(item->isChecked());
    item->trigger();
    QVERIFY(!item->isChecked());
    QVERIFY(f.server.requests.isEmpty());
    QVERIFY(!QFile::exists(f.settingsFile()));
    QVERIFY(form.findChildren<online::TNewVer*>().isEmpty());
}

void TestOnlineAppForm::settingsThatCannotBeUsed_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("settings"); // the settings file's contents, if a file
    QTest::addColumn<bool>("asked");
    QTest::newRow("none yet: made by the check") << "none" << QByteArray() << true;
    QTest::newRow("off, with a comment")
        << "file" << QByteArray("# mine\n[Settings]\nShowUpdate=0\n") << false;
    QTest::newRow("off, with a quoted value")
        << "file" << QByteArray("[Settings]\nLanguage=\"German.lang.txt\"\nShowUpdate=0\n")
        << false;
    QTest::newRow("off, over 64 KiB")
        << "file" << QByteArray("[Settings]\nShowUpdate=0\n") + QByteArray(65536, '\n') << false;
    QTest::newRow("a FIFO") << "fifo" << QByteArray() << false;
    QTest::newRow("a FIFO for the lock") << "fifo lock" << QByteArray() << false;
    QTest::newRow("a folder for the lock") << "folder lock" << QByteArray() << false;
}

// The user's own settings, opened as the program opens them, hold something the
// store cannot use, or its lock's name does: the check ends at once without a
// word to the server (the settings may say "off"), the menu item is enabled as
// after any check, and nothing there is changed. Settings not made yet are no
// reason to stay quiet: the check makes them.
void TestOnlineAppForm::settingsThatCannotBeUsed() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, settings);
    QFETCH(bool, asked);
    if (const char* why = testing::SpecialFilesMissing(); why && kind.startsWith("fifo"))
        QSKIP(why);
    Fixture f;
    const testing::UserSettingsHere here(f);
    if (!here.available())
        QSKIP("the settings live in the registry here");
    const QString file = f.settingsFile();
    QVERIFY(QDir().mkpath(QFileInfo(file).path()));
    QStringList fifos;
    if (kind == "file") {
        QVERIFY(WriteSettingsFile(file, settings));
    } else if (kind == "fifo" || kind == "fifo lock") {
        fifos << (kind == "fifo" ? file : file + ".lock");
        QVERIFY(testing::MakeFifo(fifos.back()));
    } else if (kind == "folder lock") {
        QVERIFY(QDir().mkpath(file + ".lock"));
    }

    bool checked = false;
    {
        TAppForm form(f.environment());
        // A FIFO let go, should the check wait on it, so that the test ends.
        const auto release = qScopeGuard([&] { testing::ReleaseFifos(fifos); });
        checked = TickUntilChecked(form);
        QVERIFY2(checked, "the check did not end");
        QVERIFY(testing::Find<QAction>(form, "UpdateNotifications1")->isChecked());
    }
    QCOMPARE(f.server.requests.size(), asked ? 1 : 0);
    if (kind == "none") {
        QCOMPARE(f.stored("LastUpdateCheckCount"), QStringLiteral("1"));
    } else if (kind == "file") {
        QFile raw(file);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QCOMPARE(raw.readAll(), settings);
    } else {
        QVERIFY(QFileInfo(fifos.isEmpty() ? file + ".lock" : fifos.back()).exists());
        QVERIFY(!QFileInfo(fifos.isEmpty() ? file + ".lock" : fifos.back()).isFile());
    }
}

// Settings that are there but refuse every write: turning the notifications off
// would be forgotten at the next start, so the switch stays as it was and the
// user is told why.
void TestOnlineAppForm::switchThatCannotBeKept() {
    Fixture f;
    const testing::UserSettingsHere here(f);
    if (!here.available())
        QSKIP("the settings live in the registry here");
    const QString file = f.settingsFile();
    const QByteArray settings("# mine\n[Settings]\nShowUpdate=1\n");
    QVERIFY(WriteSettingsFile(file, settings));
    TAppForm form(f.environment());
    QAction* item = testing::Find<QAction>(form, "UpdateNotifications1");
    QVERIFY(TickUntilChecked(form));
    QVERIFY(item->isChecked() && item->isEnabled());

    QString message;
    ModalDriver<QMessageBox> box([&](QMessageBox* b) {
        message = b->text();
        b->accept();
    });
    item->trigger();
    QVERIFY2(box.ok(), box.failure());
    QVERIFY2(
        message.startsWith(QStringLiteral("The choice cannot be kept for the next start.\n\n")),
        qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("holds lines that are not settings")),
             qPrintable(message));
    QVERIFY(item->isChecked());
    QFile raw(file);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QCOMPARE(raw.readAll(), settings);
}

void TestOnlineAppForm::closingWhileTheCheckWaits() {
    Fixture f;
    f.timeoutMs.reset(); // the real ten seconds
    f.server.respond = [](const TestServer::Request&) { return TestServer::Answer{.hang = true}; };
    auto form = std::make_unique<TAppForm>(f.environment());
    form->show();
    form->TimerCheckerTimer();
    QTRY_COMPARE_WITH_TIMEOUT(f.server.requests.size(), 1, 10000);
    form->close();
    form.reset(); // neither waits out the time-out nor crashes
    QTest::qWait(50);
    QCOMPARE(f.server.requests.size(), 1);
}

void TestOnlineAppForm::endlessHeadersLeaveNothing_data() {
    QTest::addColumn<int>("fault");
    QTest::newRow("as fast as they go") << int(TestServer::Answer::Fault::FloodHeaders);
    QTest::newRow("one by one") << int(TestServer::Answer::Fault::EndlessHeaders);
}

// Reply headers that never end: the check is over after its attempts'
// deadlines, and the program holds no more threads, sockets or memory than
// before it.
void TestOnlineAppForm::endlessHeadersLeaveNothing() {
    QFETCH(int, fault);
    if (const char* why = TestServer::tlsMissing())
        QSKIP(why); // both attempts must be held
    Fixture f;
    f.timeoutMs = 1000;
    TAppForm form(f.environment());
    form.show();
    // What the first request sets up for good (the TLS library, the system's
    // certificates) is there before the count.
    for (const QString scheme : {"https", "http"})
        QVERIFY(online::PostForm(scheme + "://" + f.server.host() + "/p", {"a=1"}, 5000,
                                 QSslCertificate::fromData(TestServer::trustedCertificatePem()))
                    .ok);
    QTest::qWait(100);
    const std::optional<testing::ProcessResources> before = testing::ProcessResources::Now();
    if (!before)
        QSKIP("no /proc/self to count threads, sockets and memory in");
    f.server.requests.clear();
    f.server.respond = [fault](const TestServer::Request&) {
        return TestServer::Answer::Failing(TestServer::Answer::Fault(fault));
    };
    QVERIFY(TickUntilChecked(form));
    QCOMPARE(f.server.requests.size(), 2);
    QVERIFY(form.findChildren<online::TNewVer*>().isEmpty());
    // The stream would take hundreds of megabytes; a few may stay with the allocator.
    const QString held = testing::HeldSince(*before, 30000, 8 * 1024);
    QVERIFY2(held.isEmpty(), qPrintable(held));
}

void TestOnlineAppForm::feedbackFromTheMenu() {
    Fixture f;
    TAppForm form(f.environment());
    form.findChild<QTimer*>("TimerChecker")->stop(); // no update check in this test
    QString title;
    QString message;
    ModalDriver<online::TFeedbackForm> window([&](online::TFeedbackForm* feedback) {
        title = feedback->windowTitle();
        feedback->findChild<QPlainTextEdit*>("Memo1")->setPlainText("Works well");
        QTest::mouseClick(feedback->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
    });
    ModalDriver<QMessageBox> box([&](QMessageBox* b) {
        message = b->text();
        b->accept();
    });
    testing::Find<QAction>(form, "SendFeedback1")->trigger();
    QVERIFY2(window.ok(), window.failure());
    QVERIFY2(box.ok(), box.failure());
    QCOMPARE(title, QStringLiteral("Zentaro feedback"));
    QCOMPARE(message, QStringLiteral("Your feedback is received.\n\nThank you!"));
    QCOMPARE(f.server.requests.size(), 1);
    QCOMPARE(f.server.requests[0].path, QByteArray("/php/feedback.php"));
    QCOMPARE(f.server.requests[0].field("feedback"), QStringLiteral("Works well"));
    QCOMPARE(f.server.requests[0].field("version"), QStringLiteral("1.0"));
    QVERIFY(form.findChildren<online::TFeedbackForm*>().isEmpty()); // freed on closing
}

QTEST_MAIN(TestOnlineAppForm)
#include "test_online_appform.moc"
