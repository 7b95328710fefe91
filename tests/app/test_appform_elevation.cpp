// The main window's restart with administrator rights, against stand-ins for
// pkexec that are real programs, found where the program looks for pkexec.
#include "app/appform.h"
#include "appfonts.h"
#include "support/appfixture.h"
#include "support/modaldriver.h"
#include "support/standinasker.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <memory>

using namespace zentaro;
using zentaro::app::TAppForm;
using namespace zentaro::testing;

namespace {

// The system's elevation, run by a user without administrator rights (tests
// may well run as root, where the window offers no restart).
class AsAUser final : public platform::Elevation {
public:
    bool IsElevated() const override { return false; }
    std::unique_ptr<platform::ElevatedStart> StartElevated(const std::string& executable) override {
        return system_->StartElevated(executable);
    }

private:
    std::unique_ptr<platform::Elevation> system_ = platform::CreateElevation();
};

// The window as the program makes it, but for the fixtures: the system's
// elevation, and its own file to restart, which is this test program. So the
// asker's child starts out under the name the restarted copy will have.
app::AppEnvironment RealElevation(const Fixture& f) {
    app::AppEnvironment env = f.environment();
    env.elevation = std::make_shared<AsAUser>();
    env.executablePath = QCoreApplication::applicationFilePath().toStdString();
    return env;
}

// Answers "Yes" to the question; true once it was asked and answered.
bool AskAndSayYes(TAppForm& form) {
    ModalDriver<QMessageBox> yes(
        [](QMessageBox* box) { box->findChild<QPushButton*>("Yes")->click(); });
    form.findChild<QAction*>("RunasAdministrator1")->trigger();
    return yes.ok();
}

} // namespace

class TestAppFormElevation : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void windowStaysWhileTheQuestionIsUp();
    void closingWhileAStubbornAskerAsks();
    void noAnswerFromAStubbornAsker();
};

void TestAppFormElevation::initTestCase() {
    QVERIFY(assets::RegisterTahoma());
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestAppFormElevation::init() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

// "Yes", and the system asks: the window, its results and the request stay,
// every time, until the window is closed, which withdraws the question.
void TestAppFormElevation::windowStaysWhileTheQuestionIsUp() {
    StandInAsker asker("wait");
    QVERIFY(asker.ok());
    Fixture f;
    for (int round = 0; round < 20; ++round) {
        TAppForm form(RealElevation(f));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* command = form.findChild<QAction*>("RunasAdministrator1");
        auto* watch = form.findChild<QTimer*>("ElevationWatch");
        QVERIFY(command && watch);
        QSignalSpy looks(watch, &QTimer::timeout);
        QVERIFY(AskAndSayYes(form));
        const QByteArray ended =
            QByteArray("the window ended in round ") + QByteArray::number(round);
        QVERIFY2(form.isVisible(), ended.constData()); // the first look, right after the start
        const qint64 pid = asker.TakePid();
        QVERIFY2(pid > 0, "the stand-in did not start");
        QVERIFY(looks.wait(10'000)); // one more look once the asker runs
        QVERIFY2(form.isVisible(), ended.constData());
        QVERIFY(!command->isEnabled()); // the request is still pending
        form.close();
        QVERIFY(StandInAsker::GoneWithin(pid, 10'000));
    }
}

// The close box while an asker that ignores SIGTERM asks: the window goes at
// once, and the asker is ended and reaped all the same.
void TestAppFormElevation::closingWhileAStubbornAskerAsks() {
    StandInAsker asker("stubborn");
    QVERIFY(asker.ok());
    Fixture f;
    auto form = std::make_unique<TAppForm>(RealElevation(f));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QVERIFY(AskAndSayYes(*form));
    const qint64 pid = asker.TakePid();
    QVERIFY2(pid > 0, "the stand-in did not start");
    {
        StandInWatchdog watchdog(asker.path(), std::chrono::seconds(5));
        form->close();
        form.reset();
        QVERIFY2(!watchdog.Disarm(), "closing waited for the asker to end");
    }
    QVERIFY2(StandInAsker::GoneWithin(pid, 15'000), "the asker is still there");
}

// Five minutes without an answer (on a clock the test moves), from an asker
// that ignores SIGTERM: the window says so and stays usable; the asker goes.
void TestAppFormElevation::noAnswerFromAStubbornAsker() {
    StandInAsker asker("stubborn");
    QVERIFY(asker.ok());
    Fixture f;
    auto now = std::make_shared<std::atomic<long long>>(0);
    app::AppEnvironment env = RealElevation(f);
    env.testing.elevationClock = [now] { return std::chrono::nanoseconds(now->load()); };
    TAppForm form(std::move(env));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(AskAndSayYes(form));
    const qint64 pid = asker.TakePid();
    QVERIFY2(pid > 0, "the stand-in did not start");

    QString text;
    ModalDriver<QMessageBox> failure([&](QMessageBox* box) {
        text = box->text();
        box->accept();
    });
    {
        StandInWatchdog watchdog(asker.path(), std::chrono::seconds(5));
        *now += std::chrono::nanoseconds(std::chrono::minutes(5)).count();
        QTRY_VERIFY_WITH_TIMEOUT(failure.driven(), 10'000);
        QVERIFY2(!watchdog.Disarm(), "the window waited for the asker to end");
    }
    QVERIFY2(failure.ok(), failure.failure());
    QCOMPARE(text, QString("The application could not be restarted with administrator "
                           "privileges.\n\nNo answer came within 5 minutes."));
    QVERIFY(form.isVisible());
    QVERIFY(form.findChild<QAction*>("RunasAdministrator1")->isEnabled());
    QVERIFY2(StandInAsker::GoneWithin(pid, 15'000), "the asker is still there");
}

QTEST_MAIN(TestAppFormElevation)
#include "test_appform_elevation.moc"
