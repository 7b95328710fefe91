// The real main window, offscreen at 96 DPI, driven as a user would.
#include "about/aboutbox.h"
#include "app/appform.h"
#include "appfonts.h"
#include "engine/workloads.h"
#include "i18n/catalogue.h"
#include "i18n/translation.h"
#include "inkicon.h"
#include "online/feedback.h"
#include "platform/registryvalues.h"
#include "share/shareform.h"
#include "support/appfixture.h"
#include "support/modaldriver.h"
#include "support/palettes.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <mutex>
#include <optional>

Q_DECLARE_METATYPE(zentaro::platform::ElevatedStartState)

using namespace zentaro;
using zentaro::app::TAppForm;
using zentaro::testing::ModalDriver;
using namespace zentaro::testing;

class TestAppForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void layout_data();
    void layout();
    void startState();
    void menus_data();
    void menus();
    void focusOrder();
    void keyboard_data();
    void keyboard();
    void testLength_data();
    void testLength();
    void testLengthFieldFitsItsWidestValue_data();
    void testLengthFieldFitsItsWidestValue();
    void testTypeMenu();
    void singleThenMultiCoreRun();
    void germanDecimalSeparator();
    void tooShortToMeasure();
    void escStopsALongRun();
    void closingDuringALongRun();
    void closingEndsTheProgram_data();
    void closingEndsTheProgram();
    void ratingWordReadsOnTheBar_data();
    void ratingWordReadsOnTheBar();
    void processorFacts();
    void samplingStopsOnFailure();
    void longProcessorNameShrinks_data();
    void longProcessorNameShrinks();
    void onlineHelp();
    void runAsAdministrator_data();
    void runAsAdministrator();
    void failedElevationKeepsTheWindow_data();
    void failedElevationKeepsTheWindow();
    void startupWithoutVersionBlock();
    void aboutWindow();
    void languageChoiceRestartsAndStays();
    void storedLanguageAtNextStart_data();
    void storedLanguageAtNextStart();
    void languageThatCannotBeKept_data();
    void languageThatCannotBeKept();
};

void TestAppForm::initTestCase() {
    QVERIFY(assets::RegisterTahoma());
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestAppForm::init() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TestType.clear();
}

void TestAppForm::layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry"); // in the client area; width 0: not checked
    QTest::newRow("Panel2") << "Panel2" << QRect(0, 0, 485, 137);
    QTest::newRow("Label8") << "Label8" << QRect(8, 8, 0, 0);
    QTest::newRow("Label9") << "Label9" << QRect(150, 8, 0, 0);
    QTest::newRow("Label1") << "Label1" << QRect(8, 33, 0, 0);
    QTest::newRow("Label2") << "Label2" << QRect(150, 33, 0, 0);
    QTest::newRow("Label16") << "Label16" << QRect(8, 58, 0, 0);
    QTest::newRow("Label18") << "Label18" << QRect(8, 83, 0, 0);
    QTest::newRow("Label21") << "Label21" << QRect(8, 108, 0, 0);
    QTest::newRow("Label20") << "Label20" << QRect(150, 108, 0, 0);
    QTest::newRow("GroupBox1") << "GroupBox1" << QRect(3, 140, 479, 277);
    QTest::newRow("Label3") << "Label3" << QRect(3 + 16, 140 + 27, 0, 0);
    QTest::newRow("SpinEdit1") << "SpinEdit1" << QRect(3 + 149, 140 + 24, 85, 29);
    QTest::newRow("Button1") << "Button1" << QRect(3 + 14, 140 + 59, 221, 37);
    QTest::newRow("Button2") << "Button2" << QRect(3 + 241, 140 + 59, 221, 37);
    QTest::newRow("Label6") << "Label6" << QRect(3 + 147, 140 + 105, 0, 0);
    QTest::newRow("Label7") << "Label7" << QRect(3 + 147, 140 + 141, 0, 0);
    QTest::newRow("Label11") << "Label11" << QRect(3 + 147, 140 + 178, 0, 0);
    QTest::newRow("ButtonShare") << "ButtonShare" << QRect(3 + 366, 140 + 205, 32, 32);
    QTest::newRow("ButtonTwitter") << "ButtonTwitter" << QRect(3 + 399, 140 + 205, 32, 32);
    QTest::newRow("ButtonFacebook") << "ButtonFacebook" << QRect(3 + 432, 140 + 205, 32, 32);
}

void TestAppForm::layout() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    Fixture f;
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.logicalDpiX(), 96);
    QCOMPARE(form.centralWidget()->size(), QSize(485, 420));
    QVERIFY(form.minimumSize() == form.maximumSize()); // not resizable
    QWidget* control = form.findChild<QWidget*>(name);
    QVERIFY(control);
    const QRect actual = ClientGeometry(form, control);
    QCOMPARE(actual.topLeft(), geometry.topLeft());
    if (geometry.width() > 0)
        QCOMPARE(actual.size(), geometry.size());
}

void TestAppForm::startState() {
    Fixture f;
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QString("KESTRIX - Zentaro"));
    QCOMPARE(form.identity().AppVersion, std::string("1.0"));
    for (const char* value : {"Label6", "Label7", "Label11"}) {
        QCOMPARE(Text(form, value), QString("Not tested"));
        QVERIFY(!Find<QLabel>(form, value)->isEnabled());
        QVERIFY(Find<QLabel>(form, value)->font().bold());
    }
    for (const char* button : {"ButtonShare", "ButtonTwitter", "ButtonFacebook"})
        QVERIFY(!Find<QToolButton>(form, button)->isVisible());
    QVERIFY(!Find<QWidget>(form, "Panel5")->isVisible());
    QCOMPARE(Find<QToolButton>(form, "ButtonTwitter")->toolTip(), QString("Share on X"));
    QCOMPARE(Find<QToolButton>(form, "ButtonShare")->iconSize(), QSize(24, 24));
    for (const char* timer : {"TimerMhz", "TimerChecker"}) {
        auto* t = form.findChild<QTimer*>(timer);
        QVERIFY2(t && t->isActive() && t->interval() == 1000, timer);
    }
    QCOMPARE(form.font().family(), QString("Tahoma"));
    QCOMPARE(form.font().pixelSize(), 11);
    QCOMPARE(Find<QLabel>(form, "Label9")->font().pixelSize(), 16);
    // The program's folder is writable here: the data folder, nothing left behind.
    QCOMPARE(QDir::fromNativeSeparators(QString::fromStdString(form.dataFolder())),
             f.dir.path() + "/");
    QVERIFY(!QFileInfo::exists(f.dir.filePath("chk.tmp")));
}

void TestAppForm::menus_data() {
    QTest::addColumn<bool>("elevated");
    QTest::newRow("standard user") << false;
    QTest::newRow("administrator") << true;
}

void TestAppForm::menus() {
    QFETCH(bool, elevated);
    Fixture f;
    f.elevation = std::make_shared<FakeElevation>(elevated);
    TAppForm form(f.environment());

    QStringList top;
    for (QAction* a : form.menuBar()->actions())
        top << a->text();
    QCOMPARE(top, QStringList({"&File", "&Settings", "&Help"}));

    auto visibleItems = [&](const char* menu) {
        QStringList items;
        for (QAction* a : Find<QMenu>(form, menu)->actions())
            if (a->isVisible())
                items << (a->isSeparator() ? QString("-") : a->text());
        return items;
    };
    // The captions with their mnemonics, one letter each within a menu.
    QCOMPARE(visibleItems("File1"), elevated
                                        ? QStringList({"E&xit"})
                                        : QStringList({"Run as &Administrator", "-", "E&xit"}));
    QCOMPARE(visibleItems("Help1"),
             QStringList({"Online &Help", "-", "&Update Notifications", "-", "&Language...",
                          "Send &Feedback...", "&About..."}));
    QCOMPARE(Find<QMenu>(form, "estType1")->title(), QString("&Test Type"));
    QCOMPARE(visibleItems("estType1"),
             QStringList({"&Default", "&Integer Arithmetic", "&Floating Point Arithmetic",
                          "T&rigonometric", "&Branch Prediction and Control", "Bit&wise Logic"}));
    QCOMPARE(form.findChild<QAction*>("Exit1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    for (QAction* a : Find<QMenu>(form, "estType1")->actions()) {
        QVERIFY(a->isCheckable());
        QCOMPARE(a->isChecked(), a->objectName() == "Default1");
    }
    auto* help = form.findChild<QAction*>("Help2");
    QCOMPARE(help->shortcut(), QKeySequence(Qt::Key_F1));
    auto* updates = form.findChild<QAction*>("UpdateNotifications1");
    QVERIFY(updates->isChecked() && !updates->isEnabled());
    QVERIFY(form.findChild<QAction*>("N1"));
    for (const char* item :
         {"RunasAdministrator1", "Exit1", "Help2", "Language1", "SendFeedback1", "About1"})
        QVERIFY2(!form.findChild<QAction*>(item)->icon().isNull(), item);
    for (const char* button : {"ButtonShare", "ButtonTwitter", "ButtonFacebook"})
        QVERIFY2(!Find<QToolButton>(form, button)->icon().isNull(), button);
}

void TestAppForm::focusOrder() {
    Fixture f;
    TAppForm form(f.environment());
    const QStringList expected = {"SpinEdit1",   "Button1",       "Button2",
                                  "ButtonShare", "ButtonTwitter", "ButtonFacebook"};
    QStringList order;
    QWidget* w = Find<QWidget>(form, "SpinEdit1");
    for (int i = 0; i < 200 && order.size() < expected.size(); ++i, w = w->nextInFocusChain())
        if (expected.contains(w->objectName()) && !order.contains(w->objectName()))
            order << w->objectName();
    QCOMPARE(order, expected);
}

void TestAppForm::keyboard_data() {
    QTest::addColumn<QString>("focus"); // where the key goes
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("result"); // the label that gets a result, or "exit"
    QTest::newRow("Enter on Test Single-Core") << "Button1" << int(Qt::Key_Return) << "Label7";
    QTest::newRow("Enter on Test Multi-Core") << "Button2" << int(Qt::Key_Enter) << "Label11";
    QTest::newRow("Enter in the length field") << "SpinEdit1" << int(Qt::Key_Return) << "Label7";
    QTest::newRow("Ctrl+Q") << "SpinEdit1" << (Qt::CTRL | Qt::Key_Q).toCombined() << "exit";
}

void TestAppForm::keyboard() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(QString, result);
    Fixture f;
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QWidget* target = Find<QWidget>(form, qPrintable(focus));
    target->setFocus();
    QWidget* receiver = QApplication::focusWidget();
    QVERIFY(receiver == target || receiver->parentWidget() == target);
    const QKeyCombination combination = QKeyCombination::fromCombined(key);
    QTest::keyClick(receiver, combination.key(), combination.keyboardModifiers());
    if (result == "exit") {
        QVERIFY(!form.isVisible());
        return;
    }
    QVERIFY(WaitForRunEnd(form));
    QCOMPARE(Text(form, qPrintable(result)),
             QString(result == "Label7" ? "40.00 million ops/sec" : "320.00 million ops/sec"));
    // The focus is back where the key went, so the same key runs again, also
    // once Export shows (the next control in the focus order), never opening it.
    for (int again = 0; again < 2; ++again) {
        QCOMPARE(QApplication::focusWidget(), receiver);
        const int reads = f.stopwatch.reads->load();
        QTest::keyClick(receiver, combination.key(), combination.keyboardModifiers());
        QVERIFY(WaitForRunEnd(form));
        QVERIFY(f.stopwatch.reads->load() > reads); // it ran
    }
    QCOMPARE(QApplication::focusWidget(), receiver);
    QVERIFY(!form.newestExport());
}

void TestAppForm::testLength_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("length");
    QTest::newRow("0") << "0" << 1;
    QTest::newRow("1") << "1" << 1;
    QTest::newRow("99999") << "99999" << 99999;
    QTest::newRow("100000") << "100000" << 99999;
    QTest::newRow("text") << "ten" << 1;
    QTest::newRow("nothing") << "" << 1;
}

// Typed into the field: brought into range when the field is left, and when a
// run starts straight from the field.
void TestAppForm::testLength() {
    QFETCH(QString, typed);
    QFETCH(int, length);
    Fixture f;
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* spin = Find<QSpinBox>(form, "SpinEdit1");
    QLineEdit* edit = spin->findChild<QLineEdit*>();

    spin->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, typed);
    Find<QPushButton>(form, "Button2")->setFocus(); // the field is left
    QCOMPARE(spin->value(), length);
    QCOMPARE(edit->text(), QString::number(length));

    spin->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, typed);
    f.stopwatch.spanMs->store(1000);
    form.Button1Click(); // straight from the field, as a keyboard shortcut would
    QCOMPARE(spin->value(), length);
    QVERIFY(WaitForRunEnd(form));
}

namespace {

// A style whose spin boxes have wide buttons side by side, as some desktop
// styles draw them: the edit field gets what the buttons leave.
class WideButtonStyle : public QProxyStyle {
public:
    static constexpr int kButtons = 64;
    using QProxyStyle::QProxyStyle;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        QSize s = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_SpinBox)
            s.rwidth() += kButtons;
        return s;
    }
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        const QRect r = QProxyStyle::subControlRect(control, option, sub, widget);
        if (control != CC_SpinBox)
            return r;
        const QRect box = option->rect;
        if (sub == SC_SpinBoxEditField)
            return QRect(box.left() + 2, box.top() + 2, std::max(0, box.width() - kButtons - 4),
                         box.height() - 4);
        if (sub == SC_SpinBoxUp)
            return QRect(box.right() - kButtons / 2, box.top(), kButtons / 2, box.height());
        if (sub == SC_SpinBoxDown)
            return QRect(box.right() - kButtons, box.top(), kButtons / 2, box.height());
        return r;
    }
};

} // namespace

void TestAppForm::testLengthFieldFitsItsWidestValue_data() {
    QTest::addColumn<QString>("style"); // a style name, or "wide buttons"
    for (const QString& key : QStyleFactory::keys())
        QTest::newRow(qPrintable(key)) << key;
    QTest::newRow("wide buttons") << "wide buttons";
}

// 99999 shows whole in the field under whatever style the user picked.
void TestAppForm::testLengthFieldFitsItsWidestValue() {
    QFETCH(QString, style);
    const QString before = QApplication::style()->name();
    const auto restore = qScopeGuard([before] { QApplication::setStyle(before); });
    if (style == "wide buttons")
        QApplication::setStyle(new WideButtonStyle(QStyleFactory::create("Fusion")));
    else
        QApplication::setStyle(style);
    Fixture f;
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* spin = Find<QSpinBox>(form, "SpinEdit1");
    spin->setValue(99999);
    QLineEdit* edit = spin->findChild<QLineEdit*>();
    const int needed = edit->fontMetrics().horizontalAdvance(edit->text());
    QVERIFY2(edit->contentsRect().width() >= needed,
             qPrintable(QString("%1 < %2").arg(edit->contentsRect().width()).arg(needed)));
    QVERIFY(spin->width() >= 85); // never narrower than laid out
    QVERIFY(ClientGeometry(form, spin).right() < form.centralWidget()->width());
}

void TestAppForm::testTypeMenu() {
    Fixture f;
    TAppForm form(f.environment());
    form.findChild<QAction*>("rigonometric1")->trigger();
    QCOMPARE(TestType, std::string("Trigonometric"));
    form.findChild<QAction*>("BranchPredictionandControl1")->trigger();
    QCOMPARE(TestType, std::string("Branch Prediction and Control"));
    form.findChild<QAction*>("Default1")->trigger();
    QVERIFY(TestType.empty());
    int checked = 0;
    for (QAction* a : Find<QMenu>(form, "estType1")->actions())
        checked += a->isChecked();
    QCOMPARE(checked, 1);
    QVERIFY(form.findChild<QAction*>("Default1")->isChecked());

    // Each item carries its kind; the process-wide name follows the choice.
    for (QAction* a : Find<QMenu>(form, "estType1")->actions()) {
        a->trigger();
        QCOMPARE(TestType, std::string(TestTypeValue(a->data().value<WorkloadKind>())));
        QCOMPARE(QString::fromLatin1(WorkloadDisplayName(a->data().value<WorkloadKind>())),
                 QString(a->text()).remove(u'&')); // the caption less its mnemonic
    }
    // A run follows the window's own choice, not the process-wide text read back.
    TestType = "no such type";
    form.Button1Click();
    QVERIFY(WaitForRunEnd(form));
    QCOMPARE(Text(form, "Label7"), QString("40.00 million ops/sec"));
    QCOMPARE(OperationCount, *f.operations);
}

// 4,000,000 operations in 100 ms on one core, then on eight in 160 ms.
void TestAppForm::singleThenMultiCoreRun() {
    Fixture f;
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.findChild<QAction*>("BranchPredictionandControl1")->trigger();

    f.stopwatch.spanMs->store(100);
    QTest::mouseClick(Find<QPushButton>(form, "Button1"), Qt::LeftButton);
    QVERIFY(form.running());
    QVERIFY(!Find<QPushButton>(form, "Button1")->isEnabled());
    QVERIFY(!Find<QPushButton>(form, "Button2")->isEnabled());
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    QVERIFY(WaitForRunEnd(form));
    QVERIFY(!QApplication::overrideCursor());

    QCOMPARE(Text(form, "Label6"), QString("0.10 sec"));
    QCOMPARE(Text(form, "Label7"), QString("40.00 million ops/sec"));
    QCOMPARE(Text(form, "Label11"), QString("Not tested"));
    QVERIFY(Find<QLabel>(form, "Label6")->isEnabled());
    QVERIFY(Find<QLabel>(form, "Label7")->isEnabled());
    QVERIFY(!Find<QLabel>(form, "Label11")->isEnabled());
    QVERIFY(Find<QPushButton>(form, "Button1")->isEnabled());
    for (const char* button : {"ButtonShare", "ButtonTwitter", "ButtonFacebook"})
        QVERIFY(Find<QToolButton>(form, button)->isVisible());

    // Rated 600: the word, 80 % of the bar covered from the right, the word
    // centred over the gradient, and the test area 25 px shorter.
    auto* panel = Find<QWidget>(form, "Panel5");
    auto* gradient = Find<QLabel>(form, "Image1");
    auto* cover = Find<QLabel>(form, "Image2");
    auto* word = Find<QLabel>(form, "LabelPercent");
    QVERIFY(panel->isVisible());
    QCOMPARE(ClientGeometry(form, panel), QRect(0, 395, 485, 25));
    QCOMPARE(Find<QWidget>(form, "GroupBox1")->geometry(), QRect(3, 140, 479, 252));
    QCOMPARE(word->text(), QString("Very Bad"));
    QCOMPARE(gradient->geometry(), QRect(1, 1, 483, 23));
    QCOMPARE(cover->width(), 388); // 485 x 80 / 100
    QCOMPARE(cover->x(), 1 + 483 - 388 + 1);
    QCOMPARE(cover->height(), 23);
    const QPoint centred(1 + (483 - word->width()) / 2, 1 + (23 - word->height()) / 2);
    QCOMPARE(word->pos(), centred);
    QVERIFY(!gradient->pixmap().isNull());

    f.stopwatch.spanMs->store(160);
    QTest::mouseClick(Find<QPushButton>(form, "Button2"), Qt::LeftButton);
    QVERIFY(WaitForRunEnd(form));
    QCOMPARE(Text(form, "Label6"), QString("0.16 sec"));
    QCOMPARE(Text(form, "Label7"), QString("40.00 million ops/sec")); // kept
    QCOMPARE(Text(form, "Label11"), QString("200.00 million ops/sec"));
    QVERIFY(Find<QLabel>(form, "Label11")->isEnabled());
    // Rated 300: 90 % covered (436.5 rounds to even), the word not moved again.
    QCOMPARE(word->text(), QString("Very Bad"));
    QCOMPARE(cover->width(), 436);
    QCOMPARE(word->pos(), centred);
}

void TestAppForm::germanDecimalSeparator() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Fixture f;
    TAppForm form(f.environment());
    form.Button1Click();
    QVERIFY(WaitForRunEnd(form));
    QCOMPARE(Text(form, "Label6"), QString("0,10 sec"));
    QCOMPARE(Text(form, "Label7"), QString("40,00 million ops/sec"));
}

void TestAppForm::tooShortToMeasure() {
    Fixture f;
    f.stopwatch.spanMs->store(0);
    TAppForm form(f.environment());
    form.Button1Click();
    QVERIFY(WaitForRunEnd(form));
    QCOMPARE(Text(form, "Label6"), QString("0.00 sec"));
    QCOMPARE(Text(form, "Label7"), QString("Too short to measure"));
    QVERIFY(!Find<QLabel>(form, "Label7")->isEnabled());
    QVERIFY(!Find<QWidget>(form, "Panel5")->isVisibleTo(&form));
    QVERIFY(!Text(form, "Label7").contains("inf"));
    QVERIFY(Find<QPushButton>(form, "Button1")->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
}

// Test length 99,999 of the trigonometric loop is hours of work.
void TestAppForm::escStopsALongRun() {
    Fixture f;
    f.operations.reset();
    f.realClock = true;
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.findChild<QAction*>("rigonometric1")->trigger();
    Find<QSpinBox>(form, "SpinEdit1")->setValue(99999);
    form.Button2Click();
    QTRY_VERIFY_WITH_TIMEOUT(form.runHandle() && form.runHandle()->progress() > 0.0, 30000);
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(WaitForRunEnd(form));
    QVERIFY(form.runHandle()->finished());
    QCOMPARE(Text(form, "Label6"), QString("Not tested"));
    QCOMPARE(Text(form, "Label11"), QString("Not tested"));
    QVERIFY(Find<QPushButton>(form, "Button1")->isEnabled());
    QVERIFY(Find<QPushButton>(form, "Button2")->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
}

// Closing does not wait for the workers; the run is told to stop and its
// result never reaches the window.
void TestAppForm::closingDuringALongRun() {
    Fixture f;
    f.operations.reset();
    f.realClock = true;
    auto form = std::make_unique<TAppForm>(f.environment());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    Find<QSpinBox>(*form, "SpinEdit1")->setValue(99999);
    form->Button1Click();
    const std::shared_ptr<RunHandle> run = form->runHandle();
    QTRY_VERIFY_WITH_TIMEOUT(run->progress() > 0.0, 30000);
    QVERIFY(form->close());
    QVERIFY(run->stopRequested());
    QTRY_VERIFY_WITH_TIMEOUT(run->finished(), 30000);
    QTest::qWait(50); // room for a result that must not come
    QCOMPARE(Text(*form, "Label6"), QString("Not tested"));
    form.reset();
    QVERIFY(!QApplication::overrideCursor());
}

void TestAppForm::closingEndsTheProgram_data() {
    QTest::addColumn<QString>("other"); // the window open when the main one is closed
    QTest::newRow("Export") << "Export";
    QTest::newRow("About") << "About";
    QTest::newRow("feedback") << "feedback";
    QTest::newRow("Language") << "Language";
}

// The close box of the main window ends the program, whichever other window of
// ours is open at the time; the event loop here stands for the program's own.
void TestAppForm::closingEndsTheProgram() {
    QFETCH(QString, other);
    Fixture f;
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QApplication::setQuitOnLastWindowClosed(true);
    const auto restore = qScopeGuard([] { QApplication::setQuitOnLastWindowClosed(false); });

    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    deadline.start(10'000);

    bool otherWasOpen = false;
    auto closeMain = [&](QWidget* window) {
        otherWasOpen = window && window->isVisible();
        form.close(); // as the close box does
    };
    std::optional<ModalDriver<about::TAboutBox>> about;
    std::optional<ModalDriver<online::TFeedbackForm>> feedback;
    std::optional<ModalDriver<i18n::TTranslateForm>> language;
    if (other == "About")
        about.emplace(closeMain);
    else if (other == "feedback")
        feedback.emplace(closeMain);
    else if (other == "Language")
        language.emplace(closeMain);
    QTimer::singleShot(0, &form, [&] {
        if (other == "Export") {
            form.ButtonShareClick();
            auto* share = form.findChild<share::TFormShare*>();
            QTimer::singleShot(0, &form, [&, share] { closeMain(share); });
        } else {
            const char* item = other == "About"      ? "About1"
                               : other == "feedback" ? "SendFeedback1"
                                                     : "Language1";
            form.findChild<QAction*>(item)->trigger();
        }
    });
    const int code = QApplication::exec();
    QVERIFY(otherWasOpen);
    QCOMPARE(code, 0); // 99: still running at the deadline
    QVERIFY(!form.isVisible());
}

void TestAppForm::ratingWordReadsOnTheBar_data() {
    QTest::addColumn<bool>("dark");
    QTest::addColumn<double>("speed");
    for (const bool dark : {false, true})
        for (const double speed : {200.0, 1200.0, 1700.0, 2600.0, 3600.0})
            QTest::addRow("%s %.0f", dark ? "dark" : "light", speed) << dark << speed;
}

// Wherever the word sits on the bar (the grey cover, yellow, green), what
// borders its strokes contrasts with them at least 4.5 to 1: a halo of the
// colour opposite to the text's, in light and dark palettes.
void TestAppForm::ratingWordReadsOnTheBar() {
    QFETCH(bool, dark);
    QFETCH(double, speed);
    const PaletteScope scope(dark ? DarkPalette() : QApplication::style()->standardPalette());
    Fixture f;
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.SonucRenkHesapla(speed);
    auto* word = Find<QLabel>(form, "LabelPercent");
    auto* bar = Find<QWidget>(form, "Panel5");
    QVERIFY(word->isVisible());
    const QImage image =
        bar->grab(word->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
    const QColor ink = word->palette().color(word->foregroundRole());
    auto isInk = [&](int x, int y) {
        return assets::ContrastRatio(image.pixelColor(x, y), ink) < 1.25;
    };
    std::vector<double> borders;
    for (int y = 1; y + 1 < image.height(); ++y)
        for (int x = 1; x + 1 < image.width(); ++x) {
            if (!isInk(x, y))
                continue;
            for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)})
                if (!isInk(x + d.x(), y + d.y()))
                    borders.push_back(
                        assets::ContrastRatio(image.pixelColor(x + d.x(), y + d.y()), ink));
        }
    QVERIFY2(borders.size() > 20, "no text drawn");
    std::sort(borders.begin(), borders.end());
    const double median = borders[borders.size() / 2];
    QVERIFY2(median >= 4.5, qPrintable(QString("median contrast %1").arg(median)));
}

void TestAppForm::processorFacts() {
    Fixture f;
    f.samples = {4190, 4300};
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(Text(form, "Label9"), QString::fromStdString(f.cpuName));
    QCOMPARE(Text(form, "Label19"), QString("3600 MHz"));
    QCOMPARE(Text(form, "Label2"), QString("x64"));
    QCOMPARE(Text(form, "Label17"), QString("8"));
    QCOMPARE(Text(form, "Label20"), QString("4190 MHz"));
    QVERIFY(Find<QLabel>(form, "Label20")->isVisible());
    QVERIFY(Find<QLabel>(form, "Label21")->isVisible());
    // The next tick takes the next sample.
    form.TimerMhzTimer();
    QCOMPARE(Text(form, "Label20"), QString("4300 MHz"));
}

void TestAppForm::samplingStopsOnFailure() {
    Fixture f;
    f.samples = {-1};
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(!Find<QLabel>(form, "Label20")->isVisible());
    QVERIFY(!Find<QLabel>(form, "Label21")->isVisible());
    QCOMPARE(Text(form, "Label20"), QString("Unknown"));
    QVERIFY(!form.findChild<QTimer*>("TimerMhz")->isActive());

    // Shown first, then failing: the last value stays, the timer stops.
    Fixture g;
    g.samples = {3000, -1};
    TAppForm second(g.environment());
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));
    QVERIFY(second.findChild<QTimer*>("TimerMhz")->isActive());
    second.TimerMhzTimer();
    QVERIFY(!second.findChild<QTimer*>("TimerMhz")->isActive());
    QVERIFY(Find<QLabel>(second, "Label20")->isVisible());
    QCOMPARE(Text(second, "Label20"), QString("3000 MHz"));
}

void TestAppForm::longProcessorNameShrinks_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("shortened"); // too long even at the smallest size
    QTest::newRow("fits") << "Intel(R) Core(TM) i7-9700K CPU @ 3.60GHz" << false;
    QTest::newRow("laptop") << "11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz" << false;
    QTest::newRow("workstation") << "AMD Ryzen Threadripper PRO 7995WX 96-Cores" << false;
    QTest::newRow("server") << "Intel(R) Xeon(R) Platinum 8480+ CPU @ 2.00GHz" << false;
    QTest::newRow("arm laptop")
        << "Snapdragon(R) X Elite - X1E78100 - Qualcomm(R) Oryon(TM) CPU @ 3.40GHz" << true;
    QTest::newRow("absurd, blanks kept")
        << QString(3, ' ') + QString(120, 'W') + QString(2, ' ') << true;
}

// The name stays inside the fixed window: the window's font if it fits, else a
// smaller one no smaller than 8 points, else its middle left out with the whole
// name in the tooltip. The export has the whole name.
void TestAppForm::longProcessorNameShrinks() {
    QFETCH(QString, name);
    QFETCH(bool, shortened);
    Fixture f;
    f.cpuName = name.toStdString();
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* label = Find<QLabel>(form, "Label9");
    const QRect place = ClientGeometry(form, label);
    QVERIFY2(place.right() < form.centralWidget()->width() - 2,
             qPrintable(QString::number(place.right())));
    const QFontInfo font(label->font());
    QVERIFY2(font.pointSize() >= 8, qPrintable(QString::number(font.pointSize())));
    if (QByteArray(QTest::currentDataTag()) == "fits")
        QCOMPARE(label->font().pixelSize(), 16);
    if (shortened) {
        QVERIFY2(label->text().contains(QChar(0x2026)), qPrintable(label->text()));
        QCOMPARE(label->toolTip(), name);
    } else {
        QCOMPARE(label->text(), name);
        QVERIFY(label->toolTip().isEmpty());
    }
    // The other values keep their font.
    QCOMPARE(Find<QLabel>(form, "Label19")->font().pixelSize(), 16);
    // The export has the whole name.
    form.ButtonShareClick();
    auto* share = form.findChild<share::TFormShare*>();
    QVERIFY(share);
    QVERIFY(share->findChild<QPlainTextEdit*>("Memo1")->toPlainText().contains("CPU Name: " + name +
                                                                               "\n"));
}

void TestAppForm::onlineHelp() {
    Fixture f;
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.findChild<QAction*>("Help2")->trigger();
    QTest::keyClick(&form, Qt::Key_F1);
    QCOMPARE(f.opener->urls, std::vector<std::string>(2, "http://help.example/help/zentaro/"));
}

void TestAppForm::runAsAdministrator_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("pendingPolls"); // before the new copy runs
    QTest::addColumn<bool>("restarted");
    QTest::newRow("Yes") << "Yes" << 0 << true;
    QTest::newRow("Yes, the copy runs after a while") << "Yes" << 3 << true;
    QTest::newRow("No") << "No" << 0 << false;
    QTest::newRow("Esc") << "Esc" << 0 << false;
    QTest::newRow("close box") << "close" << 0 << false;
}

void TestAppForm::runAsAdministrator() {
    QFETCH(QString, answer);
    QFETCH(int, pendingPolls);
    QFETCH(bool, restarted);
    Fixture f;
    f.elevation->pendingPolls = pendingPolls;
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QString question;
    ModalDriver<QMessageBox> driver([&](QMessageBox* box) {
        question = box->text();
        if (answer == "close")
            box->close();
        else if (answer == "Esc")
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->findChild<QPushButton*>(answer)->click();
    });
    form.findChild<QAction*>("RunasAdministrator1")->trigger();
    QVERIFY2(driver.ok(), driver.failure());
    QCOMPARE(question, QString("Restart Application with Administrator Privileges?"));
    if (restarted) {
        QCOMPARE(f.elevation->started,
                 std::vector<std::string>{ZENTARO_BIN_DIR "/zentaro" ZENTARO_EXE_SUFFIX});
        // Still here while the system asks; gone once the new copy runs.
        QCOMPARE(form.isVisible(), pendingPolls > 0);
        QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 5000);
    } else {
        QVERIFY(f.elevation->started.empty());
        QVERIFY(form.isVisible());
    }
}

void TestAppForm::failedElevationKeepsTheWindow_data() {
    using State = platform::ElevatedStartState;
    QTest::addColumn<State>("outcome");
    QTest::addColumn<int>("pendingPolls"); // negative: no answer at all
    QTest::addColumn<QString>("reason");
    QTest::newRow("no pkexec") << State::NoTool << 0
                               << "The program that asks for the administrator's password was "
                                  "not found.";
    QTest::newRow("dismissed") << State::Dismissed << 2 << "The request was dismissed.";
    QTest::newRow("not granted") << State::NotGranted << 0
                                 << "Administrator privileges were not granted.";
    QTest::newRow("the copy ends at once")
        << State::Failed << 1 << "The restarted program ended at once (status 1).";
    QTest::newRow("no answer in time")
        << State::Started << -1 << "No answer came within 5 minutes.";
}

// The window, its results and the program stay; the failure box says why.
void TestAppForm::failedElevationKeepsTheWindow() {
    QFETCH(platform::ElevatedStartState, outcome);
    QFETCH(int, pendingPolls);
    QFETCH(QString, reason);
    Fixture f;
    f.elevation->outcome = outcome;
    f.elevation->pendingPolls = pendingPolls;
    f.elevation->detail = 1;
    app::AppEnvironment env = f.environment();
    if (pendingPolls < 0) // the five minutes are over by the first look
        env.testing.elevationClock = [reads = 0]() mutable {
            return reads++ == 0 ? std::chrono::nanoseconds(0) : std::chrono::minutes(5);
        };
    TAppForm form(std::move(env));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.Button1Click();
    QVERIFY(WaitForRunEnd(form));

    std::optional<ModalDriver<QMessageBox>> failure;
    QString text, title;
    ModalDriver<QMessageBox> confirm([&](QMessageBox* box) {
        failure.emplace([&](QMessageBox* b) {
            text = b->text();
            title = b->windowTitle();
            b->accept();
        });
        box->findChild<QPushButton*>("Yes")->click();
    });
    form.findChild<QAction*>("RunasAdministrator1")->trigger();
    QVERIFY2(confirm.ok(), confirm.failure());
    QVERIFY(failure);
    QTRY_VERIFY_WITH_TIMEOUT(failure->driven(), 10'000);
    QVERIFY2(failure->ok(), failure->failure());
    QCOMPARE(title, QString("Failure"));
    QCOMPARE(text,
             "The application could not be restarted with administrator privileges.\n\n" + reason);
    QCOMPARE(f.elevation->abandoned, pendingPolls < 0 ? 1 : 0);
    QVERIFY(form.isVisible());
    QCOMPARE(Text(form, "Label7"), QString("40.00 million ops/sec"));
    QVERIFY(form.findChild<QAction*>("RunasAdministrator1")->isEnabled());
}

// The version block cannot be read: the error is shown, the later steps are
// skipped, and the window opens all the same.
void TestAppForm::startupWithoutVersionBlock() {
    Fixture f;
    f.image = QCoreApplication::applicationFilePath().toStdString(); // has no block
    QString message;
    ModalDriver<QMessageBox> driver([&](QMessageBox* box) {
        message = box->text();
        box->accept();
    });
    TAppForm form(f.environment());
    QVERIFY2(driver.ok(), driver.failure());
    QVERIFY2(message.startsWith("System Error.  Code: "), qPrintable(message));
    QVERIFY(!message.contains(u'\r'));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.identity().AppTitle.empty());
    QVERIFY(form.dataFolder().empty());
    QCOMPARE(Text(form, "Label9"), QString("Unknown"));
    QCOMPARE(Text(form, "Label17"), QString("Unknown"));
    // The window still works.
    form.Button1Click();
    QVERIFY(WaitForRunEnd(form));
    QCOMPARE(Text(form, "Label7"), QString("40.00 million ops/sec"));
}

void TestAppForm::aboutWindow() {
    Fixture f;
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QString title, version;
    QPointer<about::TAboutBox> box;
    ModalDriver<about::TAboutBox> driver([&](about::TAboutBox* about) {
        box = about;
        title = about->windowTitle();
        version = about->findChild<QLabel*>("Label2")->text();
        QTest::mouseClick(about->findChild<QLabel*>("Label5"), Qt::LeftButton);
        QTest::keyClick(about, Qt::Key_Escape);
    });
    form.findChild<QAction*>("About1")->trigger();
    QVERIFY2(driver.ok(), driver.failure());
    QCOMPARE(title, QString("About Zentaro"));
    QCOMPARE(version, QString("Zentaro 1.0"));
    QCOMPARE(f.opener->urls, std::vector<std::string>{"http://help.example/"});
    QTRY_VERIFY_WITH_TIMEOUT(box.isNull(), 5000); // freed on closing
}

QByteArray GermanFile() {
    return "{INFO:Translated By}Anna\n{Language}Sprache\n{About %s}\xC3\x9C"
           "ber %s\n";
}

// German chosen in the language window: confirmed, kept in the settings, the
// restart script written into the data folder and started, this program ended;
// the next start speaks German.
void TestAppForm::languageChoiceRestartsAndStays() {
    Fixture f;
    QVERIFY(QDir().mkpath(f.dir.filePath("Languages")));
    QFile german(f.dir.filePath("Languages/German.lang.txt"));
    QVERIFY(german.open(QIODevice::WriteOnly) && german.write(GermanFile()) > 0);
    german.close();
    {
        TAppForm form(f.environment());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(i18n::CurrentLanguageName().isEmpty());
        ModalDriver<QMessageBox> confirm(
            [](QMessageBox* box) { box->findChild<QPushButton*>("Yes")->click(); });
        ModalDriver<i18n::TTranslateForm> chooser([](i18n::TTranslateForm* window) {
            auto* list = window->findChild<QComboBox*>("ComboBox1");
            list->setCurrentIndex(list->findText("German"));
            window->Button1Click();
        });
        form.findChild<QAction*>("Language1")->trigger();
        QVERIFY2(chooser.ok(), chooser.failure());
        QVERIFY2(confirm.ok(), confirm.failure());
        // As the system writes paths (backslashes on Windows).
        const std::string script =
            QDir::toNativeSeparators(QString::fromStdString(form.dataFolder() + "start.sh"))
                .toStdString();
        QCOMPARE(f.restarter->scripts, std::vector<std::string>{script});
        QVERIFY(QFile::exists(QString::fromStdString(script)));
        QVERIFY(!form.isVisible()); // the program ended
    }
    TAppForm next(f.environment());
    QCOMPARE(i18n::CurrentLanguageName(), QString("German"));
    QString title;
    ModalDriver<about::TAboutBox> driver([&](about::TAboutBox* about) {
        title = about->windowTitle();
        about->close();
    });
    next.findChild<QAction*>("About1")->trigger();
    QVERIFY2(driver.ok(), driver.failure());
    QCOMPARE(title, QString::fromUtf8("Über Zentaro"));
}

void TestAppForm::storedLanguageAtNextStart_data() {
    QTest::addColumn<QString>("stored"); // empty: nothing stored
    QTest::addColumn<int>("user");
    QTest::addColumn<QString>("language");
    QTest::newRow("German chosen, English user") << "German.lang.txt" << 1033 << "German";
    QTest::newRow("nothing chosen, German user") << "" << 1031 << "German";
    QTest::newRow("English chosen, German user") << "English.lang.txt" << 1031 << "";
    QTest::newRow("a file since removed") << "Klingon.lang.txt" << 1031 << "";
}

void TestAppForm::storedLanguageAtNextStart() {
    QFETCH(QString, stored);
    QFETCH(int, user);
    QFETCH(QString, language);
    Fixture f;
    f.userLanguage = platform::LanguageId(user);
    QVERIFY(QDir().mkpath(f.dir.filePath("Languages")));
    QFile german(f.dir.filePath("Languages/German.lang.txt"));
    QVERIFY(german.open(QIODevice::WriteOnly) && german.write(GermanFile()) > 0);
    german.close();
    QFile codes(f.dir.filePath("Languages/LanguageCodes.csv"));
    QVERIFY(codes.open(QIODevice::WriteOnly) && codes.write("1031,German.lang.txt\r\n") > 0);
    codes.close();
    if (!stored.isEmpty()) {
        TAppForm first(f.environment());
        QVERIFY(first.SetLanguageFile(stored));
    }
    TAppForm next(f.environment());
    QCOMPARE(i18n::CurrentLanguageName(), language);
}

void TestAppForm::languageThatCannotBeKept_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a comment") << QByteArray("# mine\n[Settings]\nShowUpdate=1\n")
                               << "not settings";
    QTest::newRow("a quoted value")
        << QByteArray("[Settings]\nShowUpdate=\"1\"\n") << "would not write back";
    QTest::newRow("over 64 KiB") << QByteArray("[Settings]\nShowUpdate=1\n") +
                                        QByteArray(65536, '\n')
                                 << "64 KiB";
}

// German chosen in the language window, with the user's settings in a file the
// store refuses: the choice could not last, so the program says why and neither
// restarts nor touches the file; the window stays.
void TestAppForm::languageThatCannotBeKept() {
    QFETCH(QByteArray, settings);
    QFETCH(QString, reason);
    Fixture f;
    const UserSettingsHere here(f);
    if (!here.available())
        QSKIP("the settings live in the registry here");
    QVERIFY(QDir().mkpath(f.dir.filePath("Languages")));
    QFile german(f.dir.filePath("Languages/German.lang.txt"));
    QVERIFY(german.open(QIODevice::WriteOnly) && german.write(GermanFile()) > 0);
    german.close();
    QVERIFY(QDir().mkpath(QFileInfo(f.settingsFile()).path()));
    QFile file(f.settingsFile());
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
    file.close();

    TAppForm form(f.environment());
    form.findChild<QTimer*>("TimerChecker")->stop(); // no update check in this test
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // The confirmation (Yes), then the report; either driver may take either box.
    QString error;
    const auto answer = [&](QMessageBox* box) {
        if (auto* yes = box->findChild<QPushButton*>("Yes")) {
            yes->click();
        } else {
            error = box->text();
            box->accept();
        }
    };
    ModalDriver<QMessageBox> confirm(answer);
    ModalDriver<QMessageBox> report(answer);
    bool stayed = false;
    ModalDriver<i18n::TTranslateForm> chooser([&](i18n::TTranslateForm* window) {
        auto* list = window->findChild<QComboBox*>("ComboBox1");
        list->setCurrentIndex(list->findText("German"));
        window->Button1Click();
        stayed = window->isVisible();
        window->reject();
    });
    form.findChild<QAction*>("Language1")->trigger();
    QVERIFY2(chooser.ok(), chooser.failure());
    QVERIFY2(confirm.ok(), confirm.failure());
    QVERIFY2(report.ok(), report.failure());
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY2(error.contains(f.settingsFile()), qPrintable(error));
    QVERIFY(stayed);
    QVERIFY(f.restarter->runs.empty());
    QVERIFY(form.isVisible()); // the program goes on
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), settings);
}

QTEST_MAIN(TestAppForm)
#include "test_appform.moc"
