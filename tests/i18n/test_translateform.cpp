// The language window, offscreen, over real language folders: the list with its
// flags, the credits, the link, and OK with its confirmation and restart.
#include "appfonts.h"
#include "i18n/catalogue.h"
#include "i18n/languagechoice.h"
#include "i18n/translation.h"
#include "pictures.h"
#include "support/modaldriver.h"
#include "support/oddfiles.h"
#include "support/recordingopener.h"
#include "support/recordingrestarter.h"
#include "support/userlanguage.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

namespace i18n = zentaro::i18n;
using i18n::TTranslateForm;
using zentaro::testing::FixedUserLanguage;
using zentaro::testing::ModalDriver;

namespace {

using zentaro::testing::RecordingOpener;

using zentaro::testing::RecordingRestarter;

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray LanguageFile(const QByteArray& credit) {
    return "; test file\n{Language}Sprache\n" + credit + "\n";
}

// A languages folder, the language loaded from it, and the window's surroundings.
struct Fixture {
    QTemporaryDir dir;
    QString languages = dir.filePath("Languages");
    QString dataFolder = dir.filePath("data");
    std::shared_ptr<RecordingOpener> opener = std::make_shared<RecordingOpener>();
    std::shared_ptr<RecordingRestarter> restarter = std::make_shared<RecordingRestarter>();
    QStringList chosen;
    int ended = 0;

    Fixture() {
        QDir().mkpath(languages);
        QDir().mkpath(dataFolder);
    }
    void add(const QString& name, const QByteArray& content) {
        QVERIFY(WriteFile(languages + '/' + name, content));
    }
    void load(const QString& fileName) {
        i18n::LoadLanguage(fileName, languages, FixedUserLanguage(1033));
    }
    std::unique_ptr<TTranslateForm> open() {
        i18n::TranslateFormEnvironment env;
        env.serverHost = "lang.example";
        env.DataFolder = dataFolder.toStdString(); // without a separator at the end
        env.executablePath = "/opt/zentaro/zentaro";
        env.opener = opener;
        env.restarter = restarter;
        env.SetLanguageFile = [this](const QString& file, QString&) {
            chosen << file;
            return true;
        };
        env.endApplication = [this] { ++ended; };
        auto form = std::make_unique<TTranslateForm>(std::move(env));
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("the language window was not shown");
        return form;
    }
};

QComboBox* List(TTranslateForm& form) {
    return form.findChild<QComboBox*>("ComboBox1");
}

QStringList Entries(TTranslateForm& form) {
    QStringList entries;
    for (int i = 0; i < List(form)->count(); ++i)
        entries << List(form)->itemText(i);
    return entries;
}

QString Credit(TTranslateForm& form) {
    return form.findChild<QPlainTextEdit*>("RichEdit1")->toPlainText();
}

void Select(TTranslateForm& form, const QString& entry) {
    List(form)->setCurrentIndex(List(form)->findText(entry, Qt::MatchExactly));
}

// Answers the message boxes that come one after the other, each with the next
// handler. Past the deadline every modal window is closed, so that nothing waits
// for an answer that does not come.
class MessageBoxes {
public:
    explicit MessageBoxes(std::vector<std::function<void(QMessageBox*)>> handlers)
        : handlers_(std::move(handlers)), deadline_(10000) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }
    int answered() const { return int(seen_.size()); }

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (deadline_.hasExpired()) {
            for (int i = 0; i < 8 && QApplication::activeModalWidget(); ++i)
                if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                    dialog->reject();
            timer_.stop();
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box || !box->isVisible() || seen_.size() >= handlers_.size())
            return;
        // A box at the address of one already answered is a new one: those are gone.
        for (const QPointer<QMessageBox>& seen : seen_)
            if (seen == box)
                return;
        seen_.push_back(box);
        handlers_[seen_.size() - 1](box);
    }

    std::vector<std::function<void(QMessageBox*)>> handlers_;
    std::vector<QPointer<QMessageBox>> seen_;
    QDeadlineTimer deadline_;
    QTimer timer_;
};

} // namespace

class TestTranslateForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void listAndSelection_data();
    void listAndSelection();
    void credits_data();
    void credits();
    void flagTable_data();
    void flagTable();
    void everyFlagDraws_data();
    void everyFlagDraws();
    void copyAndSelectAll();
    void contributeLink();
    void contributeLinkShowsItsWholeText_data();
    void contributeLinkShowsItsWholeText();
    void okWithoutAChangeOnlyCloses();
    void refusedRestartKeepsTheWindow_data();
    void refusedRestartKeepsTheWindow();
    void confirmedRestart_data();
    void confirmedRestart();
    void restartScriptCannotBeWritten_data();
    void restartScriptCannotBeWritten();
};

void TestTranslateForm::initTestCase() {
    QVERIFY(zentaro::assets::RegisterTahoma());
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestTranslateForm::listAndSelection_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("loaded");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("credit");
    QTest::newRow("no languages folder")
        << QStringList{"-"} << "" << QStringList{"English"} << "English"
        << "Kestrix";
    QTest::newRow("German loaded")
        << QStringList{"German.lang.txt", "French.lang.txt"} << "German.lang.txt"
        << QStringList{"English", "French", "German"} << "German"
        << "Anna\nBernd";
    QTest::newRow("nothing loaded: English")
        << QStringList{"German.lang.txt", "French.lang.txt"} << ""
        << QStringList{"English", "French", "German"} << "English"
        << "Kestrix";
    // Sorted without regard to case; a second "English"; a name without the suffix.
    QTest::newRow("duplicates, unknown and odd names")
        << QStringList{"klingon.lang.txt", "English.lang.txt", "Xlang.txt", "Dutch.lang.txt"} << ""
        << QStringList{"", "Dutch", "English", "English", "klingon"} << "English"
        << "Kestrix";
}

void TestTranslateForm::listAndSelection() {
    QFETCH(QStringList, files);
    QFETCH(QString, loaded);
    QFETCH(QStringList, entries);
    QFETCH(QString, selected);
    QFETCH(QString, credit);
    Fixture f;
    if (files == QStringList{"-"})
        QVERIFY(QDir(f.languages).removeRecursively());
    for (const QString& file : files)
        if (file != "-")
            f.add(file, LanguageFile("{INFO:Translated By}Anna, Bernd"));
    f.load(loaded);
    auto form = f.open();
    QCOMPARE(Entries(*form), entries);
    QCOMPARE(List(*form)->currentText(), selected);
    QCOMPARE(form->InitialLanguage(), selected);
    QCOMPARE(Credit(*form), credit);
    for (int i = 0; i < List(*form)->count(); ++i)
        QVERIFY(!List(*form)->itemIcon(i).isNull());
    // Translated from the loaded file.
    QCOMPARE(form->windowTitle(), QString(loaded.isEmpty() ? "Language" : "Sprache"));
}

void TestTranslateForm::credits_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("credit");
    QTest::newRow("three names with spaces")
        << LanguageFile(
               "{INFO:Translated By}Anna Schmidt, J\xC3\xBCrgen Wei\xC3\x9F ,  Lee Min-jun ")
        << QString::fromUtf8("Anna Schmidt\nJürgen Weiß\nLee Min-jun");
    QTest::newRow("empty entry") << LanguageFile("{INFO:Translated By}") << "";
    QTest::newRow("missing entry") << LanguageFile("") << "INFO:Translated By";
    QTest::newRow("after a byte-order mark")
        << QByteArray("\xEF\xBB\xBF{INFO:Translated By}Ola\n") << "Ola";
    QTest::newRow("first of two entries")
        << LanguageFile("{INFO:Translated By}First\n{INFO:Translated By}Second") << "First";
    QTest::newRow("unreadable: a FIFO") << QByteArray("fifo") << "";
}

void TestTranslateForm::credits() {
    QFETCH(QByteArray, content);
    QFETCH(QString, credit);
    Fixture f;
    f.add("German.lang.txt", LanguageFile("{INFO:Translated By}Anna"));
    if (content == "fifo") {
        if (const char* why = zentaro::testing::SpecialFilesMissing())
            QSKIP(why);
        QVERIFY(zentaro::testing::MakeFifo(f.languages + "/Test.lang.txt"));
    } else
        f.add("Test.lang.txt", content);
    f.load("");
    auto form = f.open();
    Select(*form, "German");
    QCOMPARE(Credit(*form), QString("Anna"));
    Select(*form, "Test");
    QCOMPARE(Credit(*form), credit);
    Select(*form, "English");
    QCOMPARE(Credit(*form), QString("Kestrix"));
}

void TestTranslateForm::flagTable_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("picture");
    QTest::newRow("English") << "English"
                             << "english";
    QTest::newRow("German") << "German"
                            << "de";
    QTest::newRow("Vietnamese") << "Vietnamese"
                                << "vi";
    QTest::newRow("ChineseTraditional") << "ChineseTraditional"
                                        << "tw";
    QTest::newRow("Catalan") << "Catalan"
                             << "ca";
    QTest::newRow("Abkhazian") << "Abkhazian"
                               << "ab";
    QTest::newRow("unknown") << "Klingon"
                             << "xx";
    QTest::newRow("other letter case") << "german"
                                       << "xx";
    QTest::newRow("empty") << ""
                           << "xx";
}

void TestTranslateForm::flagTable() {
    QFETCH(QString, entry);
    QFETCH(QString, picture);
    QCOMPARE(i18n::FlagPictureFor(entry), picture);
}

void TestTranslateForm::everyFlagDraws_data() {
    QTest::addColumn<QString>("picture");
    const QStringList names = i18n::FlagPictureNames();
    QCOMPARE(names.size(), 34);
    for (const QString& name : names)
        QTest::newRow(qPrintable(name)) << name;
}

// Every flag is compiled in and draws: at 16 x 12 it covers nearly the whole
// rectangle (a missing or unreadable picture draws nothing).
void TestTranslateForm::everyFlagDraws() {
    QFETCH(QString, picture);
    const QImage image =
        zentaro::assets::PicturePixmap(QStringLiteral(":/flags/%1.svg").arg(picture), QSize(16, 12),
                                       1.0, false)
            .toImage();
    QCOMPARE(image.size(), QSize(16, 12));
    int covered = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            covered += qAlpha(image.pixel(x, y)) > 128;
    QVERIFY2(covered >= 16 * 12 * 9 / 10, qPrintable(QString::number(covered)));
}

void TestTranslateForm::copyAndSelectAll() {
    Fixture f;
    f.add("German.lang.txt", LanguageFile("{INFO:Translated By}Anna, Bernd"));
    f.load("German.lang.txt");
    auto form = f.open();
    QApplication::clipboard()->clear();
    QCOMPARE(form->findChild<QAction*>("Copy1")->text(), QString("Copy"));
    form->findChild<QAction*>("SelectAll1")->trigger();
    form->findChild<QAction*>("Copy1")->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString("Anna\nBernd"));
}

void TestTranslateForm::contributeLink() {
    Fixture f;
    f.load("");
    auto form = f.open();
    auto* link = form->findChild<QLabel*>("Label3");
    QCOMPARE(link->text(), QString("Contribute to Translation"));
    QCOMPARE(link->toolTip(), QString("https://lang.example/translation/"));
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(f.opener->urls, std::vector<std::string>{"https://lang.example/translation/"});
}

void TestTranslateForm::contributeLinkShowsItsWholeText_data() {
    QTest::addColumn<QString>("text"); // empty: English, no language file
    QTest::newRow("English") << QString();
    QTest::newRow("German") << QString::fromUtf8("Bei der Übersetzung mithelfen");
    QTest::newRow("French") << QString::fromUtf8("Contribuer à la traduction");
    QTest::newRow("Polish") << QString::fromUtf8("Pomóż w tłumaczeniu");
    QTest::newRow("Turkish") << QString::fromUtf8("Çeviriye Katkıda Bulunun");
    QTest::newRow("capitals with marks above and below")
        << QString::fromUtf8("ÅÉÎÕÜ ŚŻ Ǫ Ç Ģ gjpqy");
}

// The link's accented capitals keep their marks and its descenders their tails,
// whatever the font says its height is: every row of ink the text has shows.
void TestTranslateForm::contributeLinkShowsItsWholeText() {
    QFETCH(QString, text);
    Fixture f;
    if (!text.isEmpty())
        f.add("Test.lang.txt", "{Contribute to Translation}" + text.toUtf8() + "\n");
    f.load(text.isEmpty() ? QString() : QStringLiteral("Test.lang.txt"));
    auto form = f.open();
    auto* link = form->findChild<QLabel*>("Label3");
    QCOMPARE(link->text(), text.isEmpty() ? QString("Contribute to Translation") : text);

    // The text's rows of ink, drawn with the link's font where nothing clips.
    const QFontMetrics metrics(link->font());
    QImage free(metrics.horizontalAdvance(link->text()) + 20, metrics.height() * 3,
                QImage::Format_ARGB32_Premultiplied);
    free.fill(Qt::transparent);
    {
        QPainter painter(&free);
        painter.setFont(link->font());
        painter.setPen(Qt::black);
        painter.drawText(10, metrics.height() + metrics.ascent(), link->text());
    }
    const auto inkRows = [](const QImage& image, const std::function<bool(QRgb)>& inked) {
        int rows = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (inked(image.pixel(x, y))) {
                    ++rows;
                    break;
                }
        return rows;
    };
    const int expected = inkRows(free, [](QRgb p) { return qAlpha(p) >= 128; });

    // The same rows in the window, as drawn: pixels nearer the link's colour
    // than the window's.
    const QImage shown = link->grab().toImage();
    const QColor ink = link->palette().color(QPalette::WindowText);
    const QColor paper = link->palette().color(QPalette::Window);
    const auto distance = [](QRgb p, const QColor& c) {
        return std::abs(qRed(p) - c.red()) + std::abs(qGreen(p) - c.green()) +
               std::abs(qBlue(p) - c.blue());
    };
    const int drawn = inkRows(shown, [&](QRgb p) { return distance(p, ink) < distance(p, paper); });
    QVERIFY2(drawn >= expected, qPrintable(QString("%1 rows of ink shown of %2; the label is %3 "
                                                   "pixels high")
                                               .arg(drawn)
                                               .arg(expected)
                                               .arg(link->height())));
    QVERIFY(link->height() >= link->sizeHint().height());
}

// OK on the entry that was selected at opening closes the window and asks nothing,
// also after a detour through another entry.
void TestTranslateForm::okWithoutAChangeOnlyCloses() {
    Fixture f;
    f.add("German.lang.txt", LanguageFile("{INFO:Translated By}Anna"));
    f.load("German.lang.txt");
    for (const bool detour : {false, true}) {
        auto form = f.open();
        if (detour) {
            Select(*form, "English");
            Select(*form, "German");
        }
        ModalDriver<QMessageBox> driver([](QMessageBox* box) { box->reject(); },
                                        std::chrono::milliseconds(300));
        QTest::mouseClick(form->findChild<QPushButton*>("Button1"), Qt::LeftButton);
        QVERIFY(!driver.driven());
        QVERIFY(!form->isVisible());
    }
    QVERIFY(f.chosen.isEmpty());
    QCOMPARE(f.ended, 0);
}

void TestTranslateForm::refusedRestartKeepsTheWindow_data() {
    QTest::addColumn<QString>("answer");
    QTest::newRow("No") << "No";
    QTest::newRow("Esc") << "Esc";
    QTest::newRow("close box") << "close";
}

void TestTranslateForm::refusedRestartKeepsTheWindow() {
    QFETCH(QString, answer);
    Fixture f;
    f.add("German.lang.txt", LanguageFile("{INFO:Translated By}Anna"));
    f.load("");
    auto form = f.open();
    Select(*form, "German");
    ModalDriver<QMessageBox> driver([&](QMessageBox* box) {
        if (answer == "Esc")
            QTest::keyClick(box, Qt::Key_Escape);
        else if (answer == "close")
            box->close();
        else
            box->findChild<QPushButton*>(answer)->click();
    });
    form->Button1Click();
    QVERIFY2(driver.ok(), driver.failure());
    QVERIFY(form->isVisible());
    QCOMPARE(List(*form)->currentText(), QString("German"));
    QVERIFY(f.chosen.isEmpty());
    QVERIFY(f.restarter->runs.empty());
    QVERIFY(!QFile::exists(f.dataFolder + "/start.sh"));
    QCOMPARE(f.ended, 0);
}

// Whatever has the script's name is replaced by a new file: a longer file, a FIFO
// that nobody writes (no waiting), a link (what it leads to stays as it was).
void TestTranslateForm::confirmedRestart_data() {
    QTest::addColumn<QString>("before");
    QTest::newRow("older script") << "file";
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to another file") << "link";
}

// Yes: the choice goes to the main window, the restart script is written into the
// data folder and started there, and the application ends.
void TestTranslateForm::confirmedRestart() {
    QFETCH(QString, before);
    Fixture f;
    f.add("German.lang.txt", "{Restart Application?}Anwendung neu starten?\n{Yes}Ja\n{No}Nein\n"
                             "{Confirmation}Best\xC3\xA4tigung\n");
    f.add("French.lang.txt", LanguageFile(""));
    f.load("German.lang.txt");
    const QString script = f.dataFolder + "/start.sh";
    const QString other = f.dir.filePath("other.txt");
    const QByteArray older = "an older script, longer than the new one ............."
                             "...........................................................";
    QVERIFY(WriteFile(other, older));
    if (before == "file")
        QVERIFY(WriteFile(script, older));
    else if (before == "fifo") {
        if (const char* why = zentaro::testing::SpecialFilesMissing())
            QSKIP(why);
        QVERIFY(zentaro::testing::MakeFifo(script));
    } else {
        if (const char* why = zentaro::testing::SymbolicLinksMissing())
            QSKIP(why);
        QVERIFY(QFile::link(other, script));
    }
    auto form = f.open();
    Select(*form, "French");
    QString question, title, yes;
    ModalDriver<QMessageBox> driver([&](QMessageBox* box) {
        question = box->text();
        title = box->windowTitle();
        yes = box->findChild<QPushButton*>("Yes")->text();
        box->findChild<QPushButton*>("Yes")->click();
    });
    {
        const zentaro::testing::FifoWatchdog watchdog({script});
        form->Button1Click();
        QVERIFY2(!watchdog.fired(), "the restart waited on the FIFO");
    }
    QVERIFY2(driver.ok(), driver.failure());
    QCOMPARE(question, QString("Anwendung neu starten?"));
    QCOMPARE(title, QString::fromUtf8("Bestätigung"));
    QCOMPARE(yes, QString("Ja"));

    QCOMPARE(f.chosen, QStringList{"French.lang.txt"});
    QVERIFY(!QFileInfo(script).isSymLink());
    QFile untouched(other);
    QVERIFY(untouched.open(QIODevice::ReadOnly));
    QCOMPARE(untouched.readAll(), older);
    QFile written(script);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray::fromStdString(
                                    zentaro::platform::PosixRestartScript("/opt/zentaro/zentaro")));
    using Run = std::pair<std::string, std::string>;
    // The paths as the system writes them (backslashes on Windows).
    QCOMPARE(f.restarter->runs,
             std::vector<Run>{Run(QDir::toNativeSeparators(script).toStdString(),
                                  QDir::toNativeSeparators(f.dataFolder + "/").toStdString())});
    QCOMPARE(f.ended, 1);
    QVERIFY(!form->isVisible());
}

void TestTranslateForm::restartScriptCannotBeWritten_data() {
    QTest::addColumn<QString>("why");
    QTest::newRow("no data folder") << "missing";
    QTest::newRow("a folder of the script's name") << "folder";
}

// The script cannot be written: the error is shown, the language stays as it was,
// nothing is started and the program goes on.
void TestTranslateForm::restartScriptCannotBeWritten() {
    QFETCH(QString, why);
    Fixture f;
    f.add("German.lang.txt", LanguageFile(""));
    f.load("");
    if (why == "missing")
        QVERIFY(QDir(f.dataFolder).removeRecursively());
    else
        QVERIFY(QDir(f.dataFolder).mkpath("start.sh"));
    auto form = f.open();
    Select(*form, "German");
    // Yes to the confirmation; then the error report, noted and closed.
    QString error;
    MessageBoxes boxes({[](QMessageBox* box) { box->findChild<QPushButton*>("Yes")->click(); },
                        [&](QMessageBox* box) {
                            error = box->text();
                            box->accept();
                        }});
    form->Button1Click();
    QCOMPARE(boxes.answered(), 2);
    QVERIFY2(error.contains(QDir::toNativeSeparators(f.dataFolder + "/start.sh")),
             qPrintable(error));
    QVERIFY(f.chosen.isEmpty());
    QVERIFY(f.restarter->runs.empty());
    QCOMPARE(f.ended, 0);
}

QTEST_MAIN(TestTranslateForm)
#include "test_translateform.moc"
