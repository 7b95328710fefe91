// Export and share through the real main window, offscreen: what the report
// and the share addresses say after each kind of run, and how saving behaves,
// failures included.
#include "appfonts.h"
#include "share/report.h"
#include "support/appfixture.h"
#include "support/modaldriver.h"
#include "support/oddfiles.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <optional>

using namespace zentaro;
using namespace zentaro::testing;
using zentaro::app::TAppForm;

namespace {

const char kPage[] = "https%3A%2F%2Fhelp.example%2Fsoftware%2Fzentaro%2F";

// A million operations per worker in a scripted 2,500 ms: 0.40 million ops/sec
// on one core, 3.20 on eight. Only the texts matter here, not the work.
struct ShareFixture : Fixture {
    ShareFixture() {
        operations = 1'000'000;
        stopwatch.spanMs->store(2500);
    }
};

// Runs the given kinds, in order, through the window.
void RunKinds(TAppForm& form, const QString& kinds) {
    for (const QChar kind : kinds) {
        if (kind == u's')
            form.Button1Click();
        else
            form.Button2Click();
        QVERIFY(WaitForRunEnd(form));
    }
}

QString MemoText(QWidget* exportWindow) {
    return exportWindow->findChild<QPlainTextEdit*>("Memo1")->toPlainText();
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

// Answers a question with the button of that name. A box without one is not the
// question expected: it is closed, and what the test checks next fails.
void Answer(QMessageBox* box, const QString& button) {
    if (auto* found = box->findChild<QPushButton*>(button))
        found->click();
    else
        box->reject();
}

// What a folder holds, one entry a line: name, kind and where a link leads.
QStringList Describe(const QString& folder) {
    QStringList entries;
    const QFileInfoList infos = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& info : infos) {
        QString kind = info.isSymLink() ? "link to " + info.symLinkTarget()
                       : info.isDir()   ? QString("folder")
                       : info.isFile()  ? QString("file")
                                        : QString("special");
        entries << info.fileName() + ": " + kind;
    }
    return entries;
}

// A small tmpfs of its own, for a full or read-only file system. Needs root.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const QString& where, int kib) : path_(where) {
        QDir().mkpath(path_);
        mounted_ =
            Run({"-t", "tmpfs", "-o", QString("size=%1k,mode=0777").arg(kib), "tmpfs", path_});
    }
    ~SmallFileSystem() {
        if (mounted_)
            QProcess::execute("umount", {path_});
    }
    bool mounted() const { return mounted_; }
    bool makeReadOnly() { return Run({"-o", "remount,ro", path_}); }
    const QString& path() const { return path_; }

private:
    static bool Run(const QStringList& args) {
        QProcess p;
        p.start("mount", args);
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }
    QString path_;
    bool mounted_ = false;
};

} // namespace

class TestShareForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(assets::RegisterTahoma()); }
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void shareAddresses_data();
    void shareAddresses();
    void decimalCommaReachesTheAddress();
    void report_data();
    void report();
    void newWindowEachTime();
    void saveWritesTheTextAsShown();
    void keyboardAndProposedFile();
    void replacingAsksFirst_data();
    void replacingAsksFirst();
    void refusedTargets_data();
    void refusedTargets();
    void saveFailureKeepsTheOldFile_data();
    void saveFailureKeepsTheOldFile();
};

void TestShareForm::shareAddresses_data() {
    QTest::addColumn<QString>("runs"); // s: single-core, m: multi-core
    QTest::addColumn<QString>("shared");
    QTest::newRow("single-core only") << "s"
                                      << "0.40+million+ops%2Fsec";
    QTest::newRow("multi-core only") << "m"
                                     << "3.20+million+ops%2Fsec";
    QTest::newRow("single, then multi") << "sm"
                                        << "0.40+million+ops%2Fsec";
    QTest::newRow("multi, then single") << "ms"
                                        << "0.40+million+ops%2Fsec";
}

void TestShareForm::shareAddresses() {
    QFETCH(QString, runs);
    QFETCH(QString, shared);
    ShareFixture f;
    TAppForm form(f.environment());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    RunKinds(form, runs);
    QTest::mouseClick(Find<QToolButton>(form, "ButtonTwitter"), Qt::LeftButton);
    QTest::mouseClick(Find<QToolButton>(form, "ButtonFacebook"), Qt::LeftButton);
    QCOMPARE(f.opener->urls.size(), size_t(2));
    QCOMPARE(QString::fromStdString(f.opener->urls[0]),
             QString("https://x.example/share/?url=%1&text=I've+just+run+a+CPU+test+on+my+"
                     "computer%3A+%2&via=kestrix")
                 .arg(kPage, shared));
    QCOMPARE(QString::fromStdString(f.opener->urls[1]),
             QString("https://fb.example/sharer.php?u=%1").arg(kPage));
}

void TestShareForm::decimalCommaReachesTheAddress() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ShareFixture f;
    TAppForm form(f.environment());
    RunKinds(form, "s");
    form.ButtonTwitterClick();
    QCOMPARE(f.opener->urls.size(), size_t(1));
    QVERIFY2(QString::fromStdString(f.opener->urls[0])
                 .contains("computer%3A+0%2C40+million+ops%2Fsec&via=kestrix"),
             f.opener->urls[0].c_str());
}

void TestShareForm::report_data() {
    QTest::addColumn<QString>("runs");
    QTest::addColumn<int>("sample");          // the clock speed; -1: never sampled
    QTest::addColumn<QStringList>("results"); // lines 8, 10, 11 and 12
    QTest::newRow("before any run")
        << "" << 4190
        << QStringList{"Current Speed: 4190 MHz", "Elapsed Time: Not tested",
                       "Single-Core: Not tested", "Multi-Core: Not tested"};
    QTest::newRow("single-core") << "s" << 4190
                                 << QStringList{"Current Speed: 4190 MHz", "Elapsed Time: 2.50 sec",
                                                "Single-Core: 0.40 million ops/sec",
                                                "Multi-Core: Not tested"};
    QTest::newRow("multi-core") << "m" << 4190
                                << QStringList{"Current Speed: 4190 MHz", "Elapsed Time: 2.50 sec",
                                               "Single-Core: Not tested",
                                               "Multi-Core: 3.20 million ops/sec"};
    QTest::newRow("both") << "sm" << 4190
                          << QStringList{"Current Speed: 4190 MHz", "Elapsed Time: 2.50 sec",
                                         "Single-Core: 0.40 million ops/sec",
                                         "Multi-Core: 3.20 million ops/sec"};
    QTest::newRow("never sampled")
        << "s" << -1
        << QStringList{"Current Speed: Unknown", "Elapsed Time: 2.50 sec",
                       "Single-Core: 0.40 million ops/sec", "Multi-Core: Not tested"};
}

void TestShareForm::report() {
    QFETCH(QString, runs);
    QFETCH(int, sample);
    QFETCH(QStringList, results);
    ShareFixture f;
    f.samples = {sample};
    TAppForm form(f.environment());
    RunKinds(form, runs);
    form.ButtonShareClick();
    QPointer<QWidget> window = form.newestExport();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(!window->isModal());
    const QStringList expected = {"KESTRIX - Zentaro 1.0",
                                  "12/10/26 2:05:09 PM",
                                  "",
                                  "CPU Name: Intel(R) Core(TM) i7-9700K CPU @ 3.60GHz",
                                  "Architecture: x64",
                                  "Threads: 8",
                                  "Base Speed: 3600 MHz",
                                  results[0],
                                  "",
                                  results[1],
                                  results[2],
                                  results[3]};
    // Each line, the last one included, ends with a line break.
    QCOMPARE(MemoText(window), expected.join(u'\n') + u'\n');
    window->close();
}

// Every click makes a window of its own; closing one frees it.
void TestShareForm::newWindowEachTime() {
    ShareFixture f;
    TAppForm form(f.environment());
    form.ButtonShareClick();
    QPointer<QWidget> first = form.newestExport();
    form.ButtonShareClick();
    QPointer<QWidget> second = form.newestExport();
    QVERIFY(first && second && first != second);
    QVERIFY(first->isVisible() && second->isVisible());
    QCOMPARE(second->size(), QSize(588, 397));
    QVERIFY(second->windowTitle().isEmpty());
    QCOMPARE(second->findChild<QPushButton*>("Button1")->text(), QString("Save as File..."));
    QVERIFY(!second->findChild<QPushButton*>("Button1")->icon().isNull());
    first->close();
    QTRY_VERIFY_WITH_TIMEOUT(!first, 5000);
    QVERIFY(second);
    QCOMPARE(form.newestExport(), second.data());
    second->close();
    QTRY_VERIFY_WITH_TIMEOUT(!second, 5000);
}

void TestShareForm::saveWritesTheTextAsShown() {
    ShareFixture f;
    TAppForm form(f.environment());
    RunKinds(form, "s");
    form.ButtonShareClick();
    QWidget* window = form.newestExport();
    auto* memo = window->findChild<QPlainTextEdit*>("Memo1");
    memo->moveCursor(QTextCursor::End);
    memo->insertPlainText("Überall schnell\n");      // the user's own line
    const QString chosen = f.dir.filePath("report"); // the dialog adds ".txt"

    auto save = [&](const QString& name) {
        ModalDriver<QFileDialog> driver([&](QFileDialog* dialog) {
            QCOMPARE(dialog->nameFilters(), QStringList("Text File (*.txt)"));
            dialog->selectFile(name);
            static_cast<QDialog*>(dialog)->accept(); // as the Save button does
        });
        window->findChild<QPushButton*>("Button1")->click();
        QVERIFY2(driver.ok(), driver.failure());
    };
    save(chosen);
    const QByteArray first = ReadAll(chosen + ".txt");
    QVERIFY(first.startsWith("KESTRIX - Zentaro 1.0\r\n12/10/26")); // no byte-order mark
    QVERIFY(first.endsWith("Multi-Core: Not tested\r\n\xC3\x9C"
                           "berall schnell\r\n"));
    QCOMPARE(first.count("\r\n"), 13);
    QCOMPARE(first.count('\n'), 13); // every line break is CR LF

    // Again under the same name: replaced once the user says yes.
    memo->setPlainText("short\n");
    ModalDriver<QMessageBox> yes([](QMessageBox* box) { Answer(box, "Yes"); });
    save(chosen + ".txt");
    QVERIFY2(yes.ok(), yes.failure());
    QCOMPARE(ReadAll(chosen + ".txt"), QByteArray("short\r\n"));
    QVERIFY(window->isVisible());

    // Cancelled: nothing written.
    ModalDriver<QFileDialog> cancel([](QFileDialog* dialog) { dialog->reject(); });
    memo->setPlainText("never\n");
    window->findChild<QPushButton*>("Button1")->click();
    QVERIFY(cancel.ok());
    QCOMPARE(ReadAll(chosen + ".txt"), QByteArray("short\r\n"));
    window->close();
}

// Ctrl+S opens the save dialog, which proposes "Zentaro <date>.txt" in the
// user's documents; Esc closes the window.
void TestShareForm::keyboardAndProposedFile() {
    ShareFixture f;
    QVERIFY(QDir().mkpath(f.dir.filePath("Documents")));
    TAppForm form(f.environment());
    form.show();
    RunKinds(form, "s");
    form.ButtonShareClick();
    QPointer<QWidget> window = form.newestExport();
    QVERIFY(window);
    QCOMPARE(window->parentWidget(), &form); // no taskbar entry of its own
    window->activateWindow();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), window.data(), 5000);
    QString folder, proposed;
    ModalDriver<QFileDialog> driver([&](QFileDialog* dialog) {
        folder = dialog->directory().absolutePath();
        proposed = dialog->selectedFiles().value(0);
        static_cast<QDialog*>(dialog)->accept();
    });
    QTest::keyClick(window->findChild<QPlainTextEdit*>("Memo1"), Qt::Key_S, Qt::ControlModifier);
    QVERIFY2(driver.ok(), driver.failure());
    QCOMPARE(folder, QDir(f.dir.filePath("Documents")).absolutePath());
    const QString expected = f.dir.filePath("Documents/Zentaro 2026-12-10.txt");
    QCOMPARE(proposed, expected);
    QVERIFY(ReadAll(expected).startsWith("KESTRIX - Zentaro 1.0\r\n"));

    window->activateWindow(); // back from the dialog
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), window.data(), 5000);
    QTest::keyClick(window->findChild<QPlainTextEdit*>("Memo1"), Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!window, 5000); // closed, and freed
    QVERIFY(form.isVisible());
}

void TestShareForm::replacingAsksFirst_data() {
    QTest::addColumn<bool>("viaLink"); // the chosen name is a link to the old report
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("then"); // after No, back in the dialog: "cancel" or "other"
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<QByteArray>("other");
    const QByteArray old = "old report\r\n", text = "new text\r\n";
    QTest::newRow("yes") << false << "Yes"
                         << "" << text << QByteArray();
    QTest::newRow("no, then cancel") << false << "No"
                                     << "cancel" << old << QByteArray();
    QTest::newRow("no, then another name") << false << "No"
                                           << "other" << old << text;
    QTest::newRow("yes, through a link") << true << "Yes"
                                         << "" << text << QByteArray();
    QTest::newRow("no, through a link") << true << "No"
                                        << "cancel" << old << QByteArray();
}

// The day's proposed name is taken by the day's first export: saving again under
// it asks first; No goes back to the dialog. A link is written through, and stays.
void TestShareForm::replacingAsksFirst() {
    QFETCH(bool, viaLink);
    QFETCH(QString, answer);
    QFETCH(QString, then);
    QFETCH(QByteArray, report);
    QFETCH(QByteArray, other);
    if (viaLink && SymbolicLinksMissing())
        QSKIP(SymbolicLinksMissing());
    ShareFixture f;
    const QString folder = f.dir.filePath("out");
    QVERIFY(QDir().mkpath(folder + "/kept"));
    const QString target = folder + "/report.txt", otherFile = folder + "/other.txt";
    const QString old = viaLink ? folder + "/kept/real.txt" : target;
    QVERIFY(WriteAll(old, "old report\r\n"));
    if (viaLink)
        QVERIFY(QFile::link(old, target));
    const QStringList before = Describe(folder);

    TAppForm form(f.environment());
    form.ButtonShareClick();
    QWidget* window = form.newestExport();
    window->findChild<QPlainTextEdit*>("Memo1")->setPlainText("new text\n");

    QString question, title;
    QStringList captions;
    std::optional<ModalDriver<QFileDialog>> again;
    ModalDriver<QFileDialog> dialog([&](QFileDialog* d) {
        d->selectFile(target);
        static_cast<QDialog*>(d)->accept();
    });
    ModalDriver<QMessageBox> ask([&](QMessageBox* box) {
        question = box->text();
        title = box->windowTitle();
        for (QPushButton* button : box->findChildren<QPushButton*>())
            captions << button->text();
        if (answer == "No")
            again.emplace([&](QFileDialog* d) {
                if (then == "cancel") {
                    d->reject();
                    return;
                }
                d->selectFile(otherFile);
                static_cast<QDialog*>(d)->accept();
            });
        Answer(box, answer);
    });
    window->findChild<QPushButton*>("Button1")->click();
    QVERIFY2(dialog.ok(), dialog.failure());
    QVERIFY2(ask.ok(), ask.failure());
    QCOMPARE(question, QString("The file \"%1\" already exists. Replace it?")
                           .arg(QDir::toNativeSeparators(target)));
    QCOMPARE(title, QString("Confirmation"));
    QCOMPARE(captions, QStringList({"Yes", "No"}));
    if (answer == "No") {
        QVERIFY(again);
        QVERIFY2(again->ok(), again->failure());
    }
    QCOMPARE(ReadAll(old), report);
    if (other.isEmpty())
        QVERIFY(!QFileInfo::exists(otherFile));
    else
        QCOMPARE(ReadAll(otherFile), other);
    // Nothing else changed: a link is still the same link.
    QStringList after = Describe(folder);
    after.removeAll("other.txt: file");
    QCOMPARE(after, before);
    QVERIFY(window->isVisible());
    window->close();
}

void TestShareForm::refusedTargets_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("FIFO") << "fifo"
                          << "It is not a regular file.";
    QTest::newRow("link to a FIFO") << "fifo link"
                                    << "It is not a regular file.";
    QTest::newRow("link to a device") << "device link"
                                      << "It is not a regular file.";
    QTest::newRow("folder") << "folder"
                            << "It is a folder.";
    QTest::newRow("link that leads nowhere") << "dangling link"
                                             << "It is a link that leads nowhere.";
}

// A name that holds no regular file is never replaced, opened or written
// through: the window says why and writes nothing, without waiting on a FIFO.
void TestShareForm::refusedTargets() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    if (kind.contains("fifo") || kind.contains("device"))
        if (const char* missing = SpecialFilesMissing())
            QSKIP(missing);
    if (kind.contains("link") && SymbolicLinksMissing())
        QSKIP(SymbolicLinksMissing());
    ShareFixture f;
    const QString folder = f.dir.filePath("out");
    QVERIFY(QDir().mkpath(folder));
    const QString target = folder + "/report.txt", pipe = folder + "/pipe";
    if (kind == "fifo")
        QVERIFY(MakeFifo(target));
    else if (kind == "fifo link")
        QVERIFY(MakeFifo(pipe) && QFile::link(pipe, target));
    else if (kind == "device link") {
        if (ExpendableNullDevice().isEmpty())
            QSKIP("no null device that a faulty writer may replace");
        QVERIFY(MakeDeviceLink(target, ExpendableNullDevice()));
    } else if (kind == "folder")
        QVERIFY(QDir().mkpath(target));
    else
        QVERIFY(QFile::link(folder + "/gone.txt", target));
    const QStringList before = Describe(folder);
    QStringList fifos;
    if (kind.contains("fifo"))
        fifos << (kind == "fifo" ? target : pipe);
    FifoWatchdog watchdog(fifos);

    TAppForm form(f.environment());
    form.ButtonShareClick();
    QWidget* window = form.newestExport();
    const QString text = MemoText(window);
    QString message;
    ModalDriver<QFileDialog> dialog([&](QFileDialog* d) {
        d->selectFile(target);
        // Handed over as the system's dialog may do it: Qt's own opens a folder
        // rather than return it and hides devices, and a folder or FIFO can
        // take the name meanwhile.
        static_cast<QDialog*>(d)->done(QDialog::Accepted);
    });
    ModalDriver<QMessageBox> box([&](QMessageBox* b) {
        message = b->text();
        b->accept();
    });
    window->findChild<QPushButton*>("Button1")->click();
    QVERIFY2(dialog.ok(), dialog.failure());
    QVERIFY2(box.ok(), box.failure());
    QVERIFY(!watchdog.fired());
    QCOMPARE(message, QString("Cannot create file \"%1\". %2").arg(target, reason));
    QCOMPARE(Describe(folder), before);
    QVERIFY(window->isVisible());
    QCOMPARE(MemoText(window), text);
    window->close();
}

void TestShareForm::saveFailureKeepsTheOldFile_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("read-only file system") << "read-only";
    QTest::newRow("full file system") << "full";
    QTest::newRow("no such folder") << "missing";
}

// A failed save shows why, leaves the window open with its text, and never
// destroys or truncates the file it was to replace.
void TestShareForm::saveFailureKeepsTheOldFile() {
    QFETCH(QString, how);
    ShareFixture f;
    std::optional<SmallFileSystem> fs;
    QString target = f.dir.filePath("gone/report.txt");
    const QByteArray old = "old report\r\n";
    if (how != "missing") {
        fs.emplace(f.dir.filePath("small"), 64);
        if (!fs->mounted())
            QSKIP("mounting a small tmpfs needs root");
        target = fs->path() + "/report.txt";
        QVERIFY(WriteAll(target, old));
        if (how == "read-only") {
            QVERIFY(fs->makeReadOnly());
        } else {
            // Fill every block that is left.
            QFile filler(fs->path() + "/filler");
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray block(4096, 'x');
            for (int i = 0; i < 64 && filler.write(block) == block.size(); ++i) {
            }
        }
    }
    TAppForm form(f.environment());
    form.ButtonShareClick();
    QWidget* window = form.newestExport();
    const QString text = MemoText(window);

    QString message;
    ModalDriver<QFileDialog> dialog([&](QFileDialog* d) {
        d->selectFile(target);
        static_cast<QDialog*>(d)->accept();
    });
    // The old file is there: the question comes first, then the failure.
    std::optional<ModalDriver<QMessageBox>> box;
    auto expectFailure = [&] {
        box.emplace([&](QMessageBox* b) {
            message = b->text();
            b->accept();
        });
    };
    std::optional<ModalDriver<QMessageBox>> question;
    if (how != "missing")
        question.emplace([&](QMessageBox* b) {
            expectFailure();
            Answer(b, "Yes");
        });
    else
        expectFailure();
    window->findChild<QPushButton*>("Button1")->click();
    QVERIFY2(dialog.ok(), dialog.failure());
    if (question)
        QVERIFY2(question->ok(), question->failure());
    QVERIFY(box);
    QVERIFY2(box->ok(), box->failure());
    // The file's name and the system's reason.
    static const QRegularExpression shape("^Cannot create file \"[^\"]*/report\\.txt\"\\. .+$");
    QVERIFY2(shape.match(message).hasMatch(), qPrintable(message));
    QVERIFY(window->isVisible());
    QCOMPARE(MemoText(window), text);
    if (how != "missing")
        QCOMPARE(ReadAll(target), old);
    else
        QVERIFY(!QFileInfo::exists(target));
    window->close();
}

QTEST_MAIN(TestShareForm)
#include "test_shareform.moc"
