// The titles the window system receives from each window, read back from a
// real X server as a window manager reads them, in English and in German.
#include "about/aboutbox.h"
#include "app/appform.h"
#include "app/application.h"
#include "appfonts.h"
#include "i18n/catalogue.h"
#include "i18n/translation.h"
#include "online/feedback.h"
#include "support/appfixture.h"
#include "support/modaldriver.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using namespace zentaro;
using namespace zentaro::testing;
using zentaro::app::TAppForm;

namespace {

// The window's _NET_WM_NAME as the X server holds it; a null string when it
// cannot be read.
QString WindowSystemTitle(QWidget* window) {
    QProcess xprop;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C.UTF-8"); // the title as UTF-8, not escaped
    xprop.setProcessEnvironment(env);
    xprop.start("xprop", {"-id", QString::number(window->winId()), "-notype", "_NET_WM_NAME"});
    if (!xprop.waitForFinished(10'000) || xprop.exitCode() != 0)
        return {};
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const qsizetype first = out.indexOf(u'"');
    const qsizetype last = out.lastIndexOf(u'"');
    if (first < 0 || last <= first)
        return {};
    return out.mid(first + 1, last - first - 1);
}

QByteArray GermanFile() {
    return "{Language}Sprache\n"
           "{About %s}\xC3\x9C"
           "ber %s\n"
           "{Confirmation}Best\xC3\xA4tigung\n"
           "{feedback}Feedback\n"
           "{Failure}Fehler\n";
}

} // namespace

class TestWindowTitles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void titles_data();
    void titles();
    void theProgramsOwnTitle();
};

void TestWindowTitles::initTestCase() {
    QVERIFY(assets::RegisterTahoma());
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY2(QGuiApplication::platformName() == "xcb", "run through with_xvfb.sh");
}

void TestWindowTitles::titles_data() {
    QTest::addColumn<QString>("language"); // empty: English
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("title");
    const struct {
        const char* window;
        const char* english;
        const char* german;
    } rows[] = {
        {"main", "KESTRIX - Zentaro", "KESTRIX - Zentaro"},
        {"About", "About Zentaro",
         "\xC3\x9C"
         "ber Zentaro"},
        {"Language", "Language", "Sprache"},
        {"Confirmation", "Confirmation", "Best\xC3\xA4tigung"},
        {"feedback", "Zentaro feedback", "Zentaro Feedback"},
        {"Failure", "Failure", "Fehler"},
    };
    for (const auto& row : rows) {
        QTest::addRow("English %s", row.window) << "" << row.window << row.english;
        QTest::addRow("German %s", row.window)
            << "German" << row.window << QString::fromUtf8(row.german);
    }
}

void TestWindowTitles::titles() {
    QFETCH(QString, language);
    QFETCH(QString, window);
    QFETCH(QString, title);
    Fixture f;
    if (!language.isEmpty()) {
        QVERIFY(QDir().mkpath(f.dir.filePath("Languages")));
        QFile file(f.dir.filePath("Languages/German.lang.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(GermanFile()) > 0);
        file.close();
        QFile codes(f.dir.filePath("Languages/LanguageCodes.csv"));
        QVERIFY(codes.open(QIODevice::WriteOnly) && codes.write("1031,German.lang.txt\r\n") > 0);
        codes.close();
        f.userLanguage = 1031;
    }
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(i18n::CurrentLanguageName(), language);

    QString seen;
    auto read = [&seen](QWidget* shown) {
        seen = WindowSystemTitle(shown);
        shown->close();
    };
    if (window == "main") {
        seen = WindowSystemTitle(&form);
    } else if (window == "About") {
        ModalDriver<about::TAboutBox> driver(read);
        form.findChild<QAction*>("About1")->trigger();
        QVERIFY2(driver.ok(), driver.failure());
    } else if (window == "Language") {
        ModalDriver<i18n::TTranslateForm> driver(read);
        form.findChild<QAction*>("Language1")->trigger();
        QVERIFY2(driver.ok(), driver.failure());
    } else if (window == "Confirmation") {
        ModalDriver<QMessageBox> driver(read);
        form.findChild<QAction*>("RunasAdministrator1")->trigger();
        QVERIFY2(driver.ok(), driver.failure());
    } else if (window == "feedback" || window == "Failure") {
        const bool failure = window == "Failure";
        ModalDriver<QMessageBox> box(read);
        ModalDriver<online::TFeedbackForm> driver([&](online::TFeedbackForm* feedback) {
            if (!failure)
                return read(feedback);
            // An address the form refuses: its failure box, then the form closed.
            feedback->findChild<QPlainTextEdit*>("Memo1")->setPlainText("Fine");
            feedback->findChild<QLineEdit*>("Edit1")->setText("not an address");
            QTest::mouseClick(feedback->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
            feedback->close();
        });
        form.findChild<QAction*>("SendFeedback1")->trigger();
        QVERIFY2(driver.ok(), driver.failure());
        if (failure)
            QVERIFY2(box.ok(), box.failure());
    }
    QCOMPARE(seen, title);
}

// The real program, started as a user starts it: what its own start-up sets
// up (the application's title among it) reaches the main window's title.
void TestWindowTitles::theProgramsOwnTitle() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ZENTARO_SERVER_HOST", "127.0.0.1:9"); // nothing leaves the machine
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.insert("QT_QPA_PLATFORM", "xcb");
    program.setProcessEnvironment(env);
    program.start(ZENTARO_BIN_DIR "/zentaro", {});
    QVERIFY(program.waitForStarted(10'000));
    const auto stop = qScopeGuard([&program] {
        program.kill();
        program.waitForFinished(10'000);
    });
    // Every top-level window's id and name, as a window manager lists them.
    QStringList names;
    QDeadlineTimer deadline(30'000);
    while (!deadline.hasExpired()) {
        QProcess tree;
        tree.start("xwininfo", {"-root", "-children"});
        QVERIFY(tree.waitForFinished(10'000));
        names.clear();
        for (const QString& line : QString::fromUtf8(tree.readAllStandardOutput()).split('\n')) {
            const qsizetype first = line.indexOf(u'"');
            const qsizetype last = line.indexOf(u'"', first + 1);
            if (first >= 0 && last > first)
                names << line.mid(first + 1, last - first - 1);
        }
        if (names.contains("KESTRIX - Zentaro") || !names.filter("KESTRIX").isEmpty())
            break;
        QTest::qWait(100);
    }
    QVERIFY2(!names.filter("KESTRIX").isEmpty(), qPrintable(names.join(" | ")));
    QCOMPARE(names.filter("KESTRIX"), QStringList{"KESTRIX - Zentaro"});
}

int main(int argc, char** argv) {
    app::ZentaroApplication application(argc, argv); // the program's own, title included
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    TestWindowTitles test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_titles.moc"
