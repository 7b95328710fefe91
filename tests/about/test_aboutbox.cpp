// The real About window, offscreen at 96 DPI, driven as a user would.
#include "about/aboutbox.h"
#include "appfonts.h"
#include "i18n/catalogue.h"
#include "platform/shippedfiles.h"
#include "support/find.h"
#include "support/modaldriver.h"
#include "support/oddfiles.h"
#include "support/recordingopener.h"
#include "support/userlanguage.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using zentaro::about::AboutBoxEnvironment;
using zentaro::about::TAboutBox;
using zentaro::testing::Find;
using zentaro::testing::ModalDriver;
using zentaro::testing::RecordingOpener;

namespace {

struct Fixture {
    QTemporaryDir dir;
    std::shared_ptr<RecordingOpener> opener = std::make_shared<RecordingOpener>();
    std::shared_ptr<std::uint32_t> ticks = std::make_shared<std::uint32_t>(1000);
    // The program's folder; the temporary folder itself when empty.
    QString programFolder;

    // A window that frees itself when it closes, as the program's do.
    QPointer<TAboutBox> open() {
        AboutBoxEnvironment env;
        env.AppProductName = "Zentaro";
        env.AppVersion = "1.0";
        env.serverHost = "about.example";
        env.programFolder = (programFolder.isEmpty() ? dir.path() : programFolder).toStdString();
        env.opener = opener;
        env.textViewer = opener;
        env.tickCount = [ticks = ticks] { return *ticks; };
        env.random = zentaro::about::SeededRainRandom(11);
        QPointer<TAboutBox> box = new TAboutBox(std::move(env));
        box->show();
        if (!QTest::qWaitForWindowExposed(box))
            qWarning("the About window was not shown");
        return box;
    }
};

// Closes the next popup menu, noting where it opened and what it offered. The
// tick count at its closing is set first, as the clock would read then.
class PopupCloser : public QObject {
public:
    PopupCloser(std::shared_ptr<std::uint32_t> ticks) : ticks_(std::move(ticks)) {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu || !menu->isVisible())
                return;
            ++opened;
            position = menu->pos();
            items.clear();
            for (QAction* a : menu->actions())
                items << a->text();
            *ticks_ = closeAt;
            menu->close();
        });
        timer_.start();
    }
    std::uint32_t closeAt = 0;
    int opened = 0;
    QPoint position;
    QStringList items;

private:
    std::shared_ptr<std::uint32_t> ticks_;
    QTimer timer_;
};

bool Closed(const QPointer<TAboutBox>& box) {
    QDeadlineTimer deadline(10000);
    while (box && !deadline.hasExpired())
        QTest::qWait(5);
    return box.isNull();
}

// How many pixels of the rectangle are not black.
int LitPixels(const QImage& image, const QRect& area) {
    int lit = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            lit += (image.pixel(x, y) & 0xFFFFFF) != 0;
    return lit;
}

// Paints push buttons in a light face of its own whatever the palette says, as a
// native style draws them with the system's theme.
class NativeFaceStyle : public QProxyStyle {
public:
    NativeFaceStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_PanelButtonCommand) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        painter->fillRect(option->rect, QColor(0xe1, 0xe1, 0xe1));
        painter->setPen(QColor(0xad, 0xad, 0xad));
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    }
};

// How many pixels of the picture have the caption's colour and stand out from
// the button's face, its most common shade: a caption one can read.
int CaptionPixels(const QImage& image, const QColor& caption) {
    QHash<int, int> shades;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++shades[qGray(image.pixel(x, y))];
    int face = 0;
    for (auto it = shades.cbegin(); it != shades.cend(); ++it)
        if (it.value() > shades.value(face))
            face = it.key();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int shade = qGray(image.pixel(x, y));
            count += std::abs(shade - face) >= 100 && std::abs(shade - qGray(caption.rgb())) < 48;
        }
    return count;
}

} // namespace

class TestAboutBox : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void opening();
    void rainShowsAroundThePanel();
    void translatedTexts();
    void webPages();
    void license_data();
    void license();
    void licenseOfAnInstallation_data();
    void licenseOfAnInstallation();
    void infoMenuReopenGuard();
    void slideAndIgnoredDoubleClicks();
    void doubleClickAlsoStartsADrag();
    void dragging_data();
    void dragging();
    void escOnEitherButtonCloses_data();
    void escOnEitherButtonCloses();
    void buttonsReadInEveryStyle_data();
    void buttonsReadInEveryStyle();
    void licenseLiesBesideTheBuiltProgram();
};

void TestAboutBox::initTestCase() {
    QVERIFY(zentaro::assets::RegisterTahoma());
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestAboutBox::init() {
    // English: no language file loaded.
    zentaro::i18n::LoadLanguage({}, QStringLiteral("/nonexistent"),
                                zentaro::testing::FixedUserLanguage(1033));
}

void TestAboutBox::opening() {
    Fixture f;
    QPointer<TAboutBox> box = f.open();
    QCOMPARE(box->size(), QSize(446, 374));
    QCOMPARE(box->windowTitle(), QString("About Zentaro"));
    QCOMPARE(Find<QLabel>(box, "Label2")->text(), QString("Zentaro 1.0"));
    QCOMPARE(Find<QLabel>(box, "Label2")->font().pixelSize(), 16);
    QCOMPARE(Find<QPushButton>(box, "BitBtn1")->text(), QString("OK"));
    QCOMPARE(Find<QPushButton>(box, "BitBtn2")->text(), QString("Info"));
    QVERIFY(Find<QPushButton>(box, "BitBtn1")->hasFocus());
    QVERIFY(!Find<QPushButton>(box, "BitBtn2")->icon().isNull());
    QCOMPARE(Find<QWidget>(box, "Panel1")->geometry(), QRect(48, 42, 350, 291));
    QVERIFY(!Find<QWidget>(box, "PanelEgg")->isVisible());
    QCOMPARE(Find<QWidget>(box, "PanelEgg")->geometry(), QRect(61, 77, 324, 220));
    auto* link = Find<QLabel>(box, "Label5");
    QCOMPARE(link->text(), QString("about.example"));
    QCOMPARE(link->toolTip(), QString("http://about.example/"));
    QVERIFY(link->font().underline());
    for (const char* picture : {"Image1", "Image2", "ImageEgg"})
        QVERIFY2(!Find<QLabel>(box, picture)->pixmap().isNull(), picture);
    auto* rain = box->findChild<QTimer*>("tmTimer");
    QVERIFY(rain && rain->isActive());
    QCOMPARE(rain->interval(), 50);
    QCOMPARE(box->rain().matrixWidth(), 446 / 8);
    QCOMPARE(box->rain().matrixHeight(), 374 / 12);
    box->close();
    QVERIFY(Closed(box)); // freed on closing
}

// The rain falls on the window's black surface; the panel covers it.
void TestAboutBox::rainShowsAroundThePanel() {
    Fixture f;
    QPointer<TAboutBox> box = f.open();
    for (int tick = 0; tick < 5; ++tick)
        box->tmTimerTimer();
    const QImage shown = box->grab().toImage();
    const QRect panel = Find<QWidget>(box, "Panel1")->geometry();
    const QRect leftMargin(0, 0, panel.left(), shown.height());
    QVERIFY2(LitPixels(shown, leftMargin) > 100, "no rain beside the panel");
    // The logo's row of the panel is black apart from the logo: nothing of the rain
    // between the logo's bottom and the icon.
    QCOMPARE(LitPixels(shown, QRect(panel.left(), panel.top() + 106, panel.width(), 14)), 0);
    // Green, with less red and still less blue.
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < leftMargin.width(); ++x) {
            const QRgb p = shown.pixel(x, y);
            QVERIFY(qGreen(p) >= qRed(p) && qRed(p) >= qBlue(p));
        }
    }
    box->close();
}

void TestAboutBox::translatedTexts() {
    QTemporaryDir languages;
    QFile file(languages.filePath("Test.lang.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(
        "{About %s}%s \xE3\x81\xAE\xE3\x83\x90\xE3\x83\xBC\xE3\x82\xB8\xE3\x83\xA7\xE3\x83\xB3"
        "\xE6\x83\x85\xE5\xA0\xB1\n"
        "{Info}Details\n{OK}Gut\n{License...}Lizenz...\n");
    file.close();
    zentaro::i18n::LoadLanguage("Test.lang.txt", languages.path(),
                                zentaro::testing::FixedUserLanguage(1033));
    Fixture f;
    QPointer<TAboutBox> box = f.open();
    // Translated first, then the product name put in.
    QCOMPARE(box->windowTitle(), QString::fromUtf8("Zentaro のバージョン情報"));
    QCOMPARE(Find<QPushButton>(box, "BitBtn2")->text(), QString("Details"));
    QCOMPARE(Find<QPushButton>(box, "BitBtn1")->text(), QString("Gut"));
    QCOMPARE(Find<QAction>(box, "LicensePrivacyPolicy1")->text(), QString("Lizenz..."));
    QCOMPARE(Find<QAction>(box, "Credits1")->text(), QString("Acknowledgements..."));
    QCOMPARE(Find<QLabel>(box, "Label2")->text(), QString("Zentaro 1.0"));
    box->close();
}

void TestAboutBox::webPages() {
    Fixture f;
    QPointer<TAboutBox> box = f.open();
    Find<QAction>(box, "Credits1")->trigger();
    Find<QAction>(box, "Howtouninstall1")->trigger();
    QTest::mouseClick(Find<QLabel>(box, "Label5"), Qt::LeftButton);
    QCOMPARE(f.opener->urls, std::vector<std::string>(
                                 {"https://about.example/blog/credits-and-acknowledgements/",
                                  "http://about.example/blog/how-to-uninstall-kestrix-software/",
                                  "http://about.example/"}));
    QVERIFY(f.opener->files.empty());
    box->close();
}

void TestAboutBox::license_data() {
    QTest::addColumn<QString>("made"); // what lies at license.txt beside the program
    QTest::addColumn<bool>("opened");
    QTest::newRow("file") << "file" << true;
    QTest::newRow("link to a file") << "link" << true;
    QTest::newRow("nothing") << "" << false;
    QTest::newRow("a folder") << "folder" << false;
    QTest::newRow("a link to nothing") << "dangling" << false;
}

void TestAboutBox::license() {
    QFETCH(QString, made);
    QFETCH(bool, opened);
    if (const char* why = zentaro::testing::SymbolicLinksMissing();
        why && (made == "link" || made == "dangling"))
        QSKIP(why);
    Fixture f;
    const QString path = f.dir.filePath("license.txt");
    if (made == "file") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (made == "link") {
        QFile target(f.dir.filePath("LICENSE"));
        QVERIFY(target.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(target.fileName(), path));
    } else if (made == "folder") {
        QVERIFY(QDir(f.dir.path()).mkdir("license.txt"));
    } else if (made == "dangling") {
        QVERIFY(QFile::link(f.dir.filePath("gone"), path));
    }

    QPointer<TAboutBox> box = f.open();
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    ModalDriver<QMessageBox> driver(
        [&](QMessageBox* message) {
            text = message->text();
            title = message->windowTitle();
            icon = message->icon();
            message->accept();
        },
        std::chrono::milliseconds(opened ? 300 : 10000));
    Find<QAction>(box, "LicensePrivacyPolicy1")->trigger();
    if (opened) {
        QCOMPARE(f.opener->files,
                 std::vector<std::string>{QDir::toNativeSeparators(path).toStdString()});
        QVERIFY(!driver.driven());
    } else {
        QVERIFY2(driver.ok(), driver.failure());
        QCOMPARE(text, QString("File not found!"));
        QCOMPARE(title, QString("License"));
        QCOMPARE(icon, QMessageBox::Critical);
        QVERIFY(f.opener->files.empty());
    }
    QVERIFY(box); // the window stays open
    box->close();
}

// An installed program (bin/ under a prefix) has its licence in the shared data
// folder; one beside it, as in a build folder, still comes first.
void TestAboutBox::licenseOfAnInstallation_data() {
    QTest::addColumn<QString>("beside"); // what lies at bin/license.txt: "file" or ""
    QTest::addColumn<QString>("shared"); // at share/zentaro/license.txt: "file", "folder" or ""
    QTest::addColumn<QString>("opened"); // which one opens: "beside", "shared" or "" (none)
    QTest::newRow("only the shared one") << ""
                                         << "file"
                                         << "shared";
    QTest::newRow("beside wins") << "file"
                                 << "file"
                                 << "beside";
    QTest::newRow("a folder in the shared place") << ""
                                                  << "folder"
                                                  << "";
}

void TestAboutBox::licenseOfAnInstallation() {
    QFETCH(QString, beside);
    QFETCH(QString, shared);
    QFETCH(QString, opened);
    Fixture f;
    f.programFolder = f.dir.filePath("bin");
    const QString sharedFolder = QDir::cleanPath(
        f.programFolder + '/' + QString::fromUtf8(zentaro::platform::kSharedFolderFromProgram));
    QVERIFY(QDir().mkpath(f.programFolder));
    QVERIFY(QDir().mkpath(sharedFolder));
    const QString besidePath = f.programFolder + "/license.txt";
    const QString sharedPath = sharedFolder + "/license.txt";
    if (beside == "file")
        QVERIFY(QFile(besidePath).open(QIODevice::WriteOnly));
    if (shared == "file")
        QVERIFY(QFile(sharedPath).open(QIODevice::WriteOnly));
    else if (shared == "folder")
        QVERIFY(QDir().mkdir(sharedPath));

    QPointer<TAboutBox> box = f.open();
    QString text;
    ModalDriver<QMessageBox> driver(
        [&](QMessageBox* message) {
            text = message->text();
            message->accept();
        },
        std::chrono::milliseconds(opened.isEmpty() ? 10000 : 300));
    Find<QAction>(box, "LicensePrivacyPolicy1")->trigger();
    if (opened.isEmpty()) {
        QVERIFY2(driver.ok(), driver.failure());
        QCOMPARE(text, QString("File not found!"));
        QVERIFY(f.opener->files.empty());
    } else {
        const QString path = opened == "beside" ? besidePath : sharedPath;
        QCOMPARE(f.opener->files,
                 std::vector<std::string>{QDir::toNativeSeparators(path).toStdString()});
        QVERIFY(!driver.driven());
    }
    box->close();
}

// The press that closes the Info menu also reaches the button: within 100 ms of
// the menu's closing, a click on the same button only ends that guard.
void TestAboutBox::infoMenuReopenGuard() {
    Fixture f;
    QPointer<TAboutBox> box = f.open();
    auto* info = Find<QPushButton>(box, "BitBtn2");
    PopupCloser closer(f.ticks);

    closer.closeAt = 1000;
    QTest::mouseClick(info, Qt::LeftButton);
    QCOMPARE(closer.opened, 1);
    QCOMPARE(closer.items,
             QStringList({"Acknowledgements...", "How to uninstall...", "License..."}));
    QCOMPARE(closer.position, info->mapToGlobal(QPoint(0, info->height())));

    *f.ticks = 1099; // the click that closed it
    QTest::mouseClick(info, Qt::LeftButton);
    QCOMPARE(closer.opened, 1);
    QTest::mouseClick(info, Qt::LeftButton); // the next click opens it again
    QCOMPARE(closer.opened, 2);

    // The tick count wraps between closing and clicking: 32 ms apart.
    closer.closeAt = 0xFFFFFFF0u;
    *f.ticks = 0;
    QTest::mouseClick(info, Qt::LeftButton);
    QCOMPARE(closer.opened, 3);
    *f.ticks = 0x10;
    QTest::mouseClick(info, Qt::LeftButton);
    QCOMPARE(closer.opened, 3);

    // 100 ms after the closing is a new click.
    closer.closeAt = 5000;
    QTest::mouseClick(info, Qt::LeftButton);
    QCOMPARE(closer.opened, 4);
    *f.ticks = 5100;
    QTest::mouseClick(info, Qt::LeftButton);
    QCOMPARE(closer.opened, 5);
    box->close();
}

// A double click on the icon slides the panel out to the right, 5 pixels a step,
// and shows the picture; double clicks meanwhile change nothing; a double click on
// the picture brings the panel back at once.
void TestAboutBox::slideAndIgnoredDoubleClicks() {
    Fixture f;
    QPointer<TAboutBox> box = f.open();
    auto* panel = Find<QWidget>(box, "Panel1");
    auto* egg = Find<QWidget>(box, "PanelEgg");
    auto* slide = box->findChild<QTimer*>("TimerEgg");
    QVERIFY(slide && !slide->isActive());
    QCOMPARE(slide->interval(), 5);

    QTest::mouseDClick(Find<QLabel>(box, "Image1"), Qt::LeftButton);
    QVERIFY(slide->isActive());
    QVERIFY(egg->isVisible());
    QVERIFY(egg->geometry().intersects(panel->geometry()));
    const int before = panel->x();
    box->TimerEggTimer();
    QCOMPARE(panel->x(), before + 5);

    const int during = panel->x();
    QTest::mouseDClick(Find<QLabel>(box, "Image1"), Qt::LeftButton);
    QTest::mouseDClick(Find<QLabel>(box, "ImageEgg"), Qt::LeftButton);
    QCOMPARE(panel->x(), during);
    QVERIFY(egg->isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(!slide->isActive(), 10000);
    QVERIFY(panel->x() > box->width());
    QVERIFY(panel->x() <= box->width() + 5);
    QCOMPARE(panel->y(), 42);

    QTest::mouseDClick(Find<QLabel>(box, "ImageEgg"), Qt::LeftButton);
    QVERIFY(!egg->isVisible());
    QCOMPARE(panel->pos(), QPoint(48, 42));
    QVERIFY(!slide->isActive());
    box->close();
}

// The second press of a double click on the icon both brings the picture out and
// starts a drag: the window follows the mouse until the release.
void TestAboutBox::doubleClickAlsoStartsADrag() {
    Fixture f;
    QPointer<TAboutBox> box = f.open();
    auto* icon = Find<QLabel>(box, "Image1");
    const QPoint start = box->pos();
    const QPoint at(10, 5);
    const QPoint to = at + QPoint(30, 20);
    QTest::mouseClick(icon, Qt::LeftButton, {}, at);
    QMouseEvent second(QEvent::MouseButtonDblClick, at, icon->mapToGlobal(at), Qt::LeftButton,
                       Qt::LeftButton, {});
    QApplication::sendEvent(icon, &second);
    QMouseEvent move(QEvent::MouseMove, to, icon->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     {});
    QApplication::sendEvent(icon, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, icon->mapToGlobal(to), Qt::LeftButton,
                        Qt::NoButton, {});
    QApplication::sendEvent(icon, &release);
    QCOMPARE(box->pos(), start + QPoint(30, 20));
    QVERIFY(Find<QWidget>(box, "PanelEgg")->isVisible());
    box->close();
}

void TestAboutBox::dragging_data() {
    QTest::addColumn<QString>("grip");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("moves");
    QTest::newRow("logo, left button") << "Image2" << int(Qt::LeftButton) << true;
    QTest::newRow("window, middle button") << "TAboutBox" << int(Qt::MiddleButton) << true;
    QTest::newRow("logo, right button") << "Image2" << int(Qt::RightButton) << false;
    QTest::newRow("link label") << "Label5" << int(Qt::LeftButton) << false;
}

void TestAboutBox::dragging() {
    QFETCH(QString, grip);
    QFETCH(int, button);
    QFETCH(bool, moves);
    Fixture f;
    QPointer<TAboutBox> box = f.open();
    QWidget* by = grip == "TAboutBox" ? box.data() : box->findChild<QWidget*>(grip);
    QVERIFY(by);
    const QPoint start = box->pos();
    const QPoint at(10, 5);
    QTest::mousePress(by, Qt::MouseButton(button), {}, at);
    QTest::mouseMove(by, at + QPoint(30, 20));
    QTest::mouseRelease(by, Qt::MouseButton(button), {}, at + QPoint(30, 20));
    if (moves) {
        QTRY_COMPARE_WITH_TIMEOUT(box->pos(), start + QPoint(30, 20), 5000);
    } else {
        QTest::qWait(20);
        QCOMPARE(box->pos(), start);
    }
    box->close();
}

void TestAboutBox::escOnEitherButtonCloses_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("OK") << "BitBtn1";
    QTest::newRow("Info") << "BitBtn2";
}

void TestAboutBox::escOnEitherButtonCloses() {
    QFETCH(QString, button);
    Fixture f;
    QPointer<TAboutBox> box = f.open();
    auto* focus = box->findChild<QPushButton*>(button);
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_Escape);
    QVERIFY(Closed(box));
}

void TestAboutBox::buttonsReadInEveryStyle_data() {
    QTest::addColumn<QString>("style"); // empty: one that paints a light face of its own
    for (const QString& key : QStyleFactory::keys())
        QTest::newRow(qPrintable(key)) << key;
    QTest::newRow("light native face") << QString();
}

// White captions (and the white arrow) on a face the style chose would vanish
// on a light one: both buttons show their captions whatever the style.
void TestAboutBox::buttonsReadInEveryStyle() {
    QFETCH(QString, style);
    const QString before = QApplication::style()->name();
    const auto restore = qScopeGuard([&] { QApplication::setStyle(before); });
    if (style.isEmpty())
        QApplication::setStyle(new NativeFaceStyle);
    else
        QVERIFY(QApplication::setStyle(style));
    Fixture f;
    QPointer<TAboutBox> box = f.open();
    for (const char* name : {"BitBtn1", "BitBtn2"}) {
        auto* button = Find<QPushButton>(box, name);
        // Inside the frame, where the caption and the arrow are.
        const QImage shown = button->grab(button->rect().adjusted(3, 3, -3, -3)).toImage();
        const int caption = CaptionPixels(shown, Qt::white);
        QVERIFY2(caption >= 20, qPrintable(QString("%1: %2 caption pixels of %3")
                                               .arg(name)
                                               .arg(caption)
                                               .arg(shown.width() * shown.height())));
    }
    box->close();
    QVERIFY(Closed(box));
}

// So that "License..." finds it in a build as in an installation.
void TestAboutBox::licenseLiesBesideTheBuiltProgram() {
    QFile built(QStringLiteral(ZENTARO_BIN_DIR "/license.txt"));
    QFile source(QStringLiteral(ZENTARO_TEST_DATA "/../../LICENSE"));
    QVERIFY2(built.open(QIODevice::ReadOnly), qPrintable(built.fileName()));
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray text = source.readAll();
    QVERIFY(text.size() > 1000);
    QCOMPARE(built.readAll(), text);
}

QTEST_MAIN(TestAboutBox)
#include "test_aboutbox.moc"
