// The real main window under ThreadSanitizer, driven through everything that
// hands work between threads: the update check against the local test server,
// a feedback send, a single-core and a multi-core run, and the exit. Built only
// for the thread configuration, where the tool stops the program at its first
// report: the test passes only if none comes.
#include "app/appform.h"
#include "appfonts.h"
#include "online/feedback.h"
#include "online/newversion.h"
#include "support/appfixture.h"
#include "support/fakeonline.h"
#include "support/find.h"
#include "support/modaldriver.h"
#include "testserver.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace zentaro;
using zentaro::app::TAppForm;
using zentaro::testing::ModalDriver;
using zentaro::testing::TestServer;

namespace {

// The window's fixture with its online services pointed at the test's own
// server, which announces version 1.1 and takes any feedback.
struct Fixture : testing::Fixture {
    TestServer server;

    Fixture() {
        cpuName = "Test CPU";
        processors = 2;
        server.start();
        server.respond = [](const TestServer::Request& r) {
            if (r.path == "/php/feedback.php")
                return TestServer::Answer::Reply(200, "text/plain", "OK");
            return TestServer::Answer::Reply(200, "text/plain",
                                             testing::CheckReply("1.1", "https://dl.example/z"));
        };
    }

    app::AppEnvironment environment() const {
        app::AppEnvironment env = testing::Fixture::environment();
        env.serverHost = server.host().toStdString();
        env.online.updateCheck = true;
        env.online.os =
            std::make_shared<testing::FixedOs>(platform::OsFacts{"Test Linux", 6, 1, 0, 0, true});
        env.online.locale = std::make_shared<testing::FixedLocale>("en-US");
        env.online.machine = std::make_shared<testing::FixedMachine>();
        env.online.testing.today = [] { return QDate(2025, 12, 9); };
        env.online.testing.requestTimeoutMs = 5000;
        env.online.testing.trustedCertificatesPem = TestServer::trustedCertificatePem();
        return env;
    }
};

} // namespace

class TestTsanWindowDrive : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void checkFeedbackRunsAndExit();
};

void TestTsanWindowDrive::initTestCase() {
    QVERIFY(assets::RegisterTahoma());
    QApplication::setQuitOnLastWindowClosed(false);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestTsanWindowDrive::checkFeedbackRunsAndExit() {
    Fixture f;
    auto form = std::make_unique<TAppForm>(f.environment());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));

    // The update check, its ticks stepped by hand as the 1-second timer would.
    form->findChild<QTimer*>("TimerChecker")->stop();
    QAction* notifications = testing::Find<QAction>(*form, "UpdateNotifications1");
    QDeadlineTimer deadline(20'000);
    form->TimerCheckerTimer();
    while (!notifications->isEnabled() && !deadline.hasExpired()) {
        QTest::qWait(5);
        form->TimerCheckerTimer();
    }
    QVERIFY(notifications->isEnabled());
    QCOMPARE(f.server.requests.size(), 1);
    QVERIFY(form->findChild<online::TNewVer*>() != nullptr);

    // A feedback send and the box that confirms it.
    QString message;
    {
        ModalDriver<online::TFeedbackForm> window([](online::TFeedbackForm* feedback) {
            feedback->findChild<QPlainTextEdit*>("Memo1")->setPlainText("Works well");
            QTest::mouseClick(feedback->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
        });
        ModalDriver<QMessageBox> box([&message](QMessageBox* b) {
            message = b->text();
            b->accept();
        });
        testing::Find<QAction>(*form, "SendFeedback1")->trigger();
        QVERIFY2(window.ok(), window.failure());
        QVERIFY2(box.ok(), box.failure());
    }
    QCOMPARE(message, QStringLiteral("Your feedback is received.\n\nThank you!"));
    QCOMPARE(f.server.requests.size(), 2);

    // A single-core run, then one on every core.
    QTest::mouseClick(testing::Find<QPushButton>(*form, "Button1"), Qt::LeftButton);
    QVERIFY(testing::WaitForRunEnd(*form));
    QCOMPARE(testing::Text(*form, "Label7"), QString("40.00 million ops/sec"));
    QTest::mouseClick(testing::Find<QPushButton>(*form, "Button2"), Qt::LeftButton);
    QVERIFY(testing::WaitForRunEnd(*form));
    QCOMPARE(testing::Text(*form, "Label11"), QString("80.00 million ops/sec"));

    // The exit: the window closes and goes, taking the checker with it.
    form->close();
    form.reset();
    QTest::qWait(50);
}

QTEST_MAIN(TestTsanWindowDrive)
#include "test_tsan_window_drive.moc"
