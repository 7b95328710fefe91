// The shell's rules that need no window: help address, test length, sizing,
// and the choice of the data folder against real folders.
#include "app/shellrules.h"
#include "platform/datafolders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zentaro;

namespace {

// The real folders, but with the roaming folder where the test wants it.
class FoldersAt final : public platform::DataFolders {
public:
    explicit FoldersAt(std::string roaming) : roaming_(std::move(roaming)) {}
    char Separator() const override { return real_->Separator(); }
    std::string RoamingAppDataFolder() const override { return roaming_; }
    bool IsFolderWritable(const std::string& folder) const override {
        return real_->IsFolderWritable(folder);
    }
    bool IsSystemFolder(const std::string& folder) const override {
        return folder == system || real_->IsSystemFolder(folder);
    }
    bool CreateFolder(const std::string& path) const override {
        created.push_back(path);
        return real_->CreateFolder(path);
    }
    mutable std::vector<std::string> created;
    std::string system; // a folder taken as the system's own

private:
    std::unique_ptr<platform::DataFolders> real_ = platform::CreateDataFolders();
    std::string roaming_;
};

} // namespace

class TestShellRules : public QObject {
    Q_OBJECT

private slots:
    void helpAddress_data();
    void helpAddress();
    void testLength_data();
    void testLength();
    void scaleDimension_data();
    void scaleDimension();
    void shrinkToFit_data();
    void shrinkToFit();
    void dataFolderIsProgramFolderWhenWritable();
    void dataFolderFallsBackToRoamingFolder_data();
    void dataFolderFallsBackToRoamingFolder();
    void noFoldersCreatedWithoutRoamingFolder();
};

void TestShellRules::helpAddress_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("address");
    QTest::newRow("plain") << "www.kestrix.example"
                           << "Zentaro"
                           << "http://www.kestrix.example/help/zentaro/";
    QTest::newRow("blanks and capitals") << "h.example"
                                         << "Zentaro CPU  Bench"
                                         << "http://h.example/help/zentaro-cpu--bench/";
    QTest::newRow("empty product") << "h.example"
                                   << ""
                                   << "http://h.example/help//";
}

void TestShellRules::helpAddress() {
    QFETCH(QString, host);
    QFETCH(QString, product);
    QFETCH(QString, address);
    QCOMPARE(QString::fromStdString(app::HelpAddress(host.toStdString(), product.toStdString())),
             address);
}

void TestShellRules::testLength_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("length");
    QTest::newRow("1") << "1" << 1;
    QTest::newRow("22") << "22" << 22;
    QTest::newRow("99999") << "99999" << 99999;
    QTest::newRow("0 up to 1") << "0" << 1;
    QTest::newRow("100000 down to 99999") << "100000" << 99999;
    QTest::newRow("huge down to 99999") << "123456789012345678901234567890" << 99999;
    QTest::newRow("negative up to 1") << "-5" << 1;
    QTest::newRow("blanks around") << "  42 " << 42;
    QTest::newRow("text") << "ten" << 1;
    QTest::newRow("empty") << "" << 1;
    QTest::newRow("digits then text") << "12a" << 1;
    QTest::newRow("decimal") << "2.5" << 1;
}

void TestShellRules::testLength() {
    QFETCH(QString, text);
    QFETCH(int, length);
    QCOMPARE(app::TestLengthFromText(text.toStdString()), length);
}

void TestShellRules::scaleDimension_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("screenDpi");
    QTest::addColumn<int>("result");
    QTest::newRow("same resolution") << 400 << 96 << 400;
    QTest::newRow("one and a half") << 400 << 144 << 600;
    QTest::newRow("rounded") << 25 << 120 << 31;    // 31.25
    QTest::newRow("rounded down") << 5 << 120 << 6; // 6.25
    QTest::newRow("1.5 rounds away") << 1 << 144 << 2;
}

void TestShellRules::scaleDimension() {
    QFETCH(int, x);
    QFETCH(int, screenDpi);
    QFETCH(int, result);
    QCOMPARE(app::ScaleDimension(x, screenDpi, 96), result);
}

void TestShellRules::shrinkToFit_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("perPoint"); // width of the text per point of size
    QTest::addColumn<int>("maxWidth");
    QTest::addColumn<int>("result");
    QTest::newRow("fits: left alone") << 12 << 30 << 400 << 12;
    QTest::newRow("exactly fits") << 12 << 30 << 360 << 12;
    QTest::newRow("one point smaller") << 12 << 30 << 359 << 11;
    QTest::newRow("much smaller") << 12 << 100 << 400 << 4;
    QTest::newRow("never below 1") << 12 << 1000 << 400 << 1;
    QTest::newRow("huge start stops after 10,000 steps") << 20000 << 1 << 5 << 10000;
}

void TestShellRules::shrinkToFit() {
    QFETCH(int, start);
    QFETCH(int, perPoint);
    QFETCH(int, maxWidth);
    QFETCH(int, result);
    QCOMPARE(app::ShrinkToFit(start, maxWidth, [&](int points) { return points * perPoint; }),
             result);
}

void TestShellRules::dataFolderIsProgramFolderWhenWritable() {
    QTemporaryDir program;
    QTemporaryDir roaming;
    FoldersAt folders(roaming.path().toStdString());
    const std::string chosen =
        app::ChooseDataFolder(program.path().toStdString(), folders, "KESTRIX", "Zentaro");
    QCOMPARE(QDir::fromNativeSeparators(QString::fromStdString(chosen)), program.path() + "/");
    QVERIFY(folders.created.empty());
    QCOMPARE(QDir(program.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

void TestShellRules::dataFolderFallsBackToRoamingFolder_data() {
    QTest::addColumn<QString>("why");
    QTest::newRow("chk.tmp already there") << "chk.tmp";
    QTest::newRow("program folder missing") << "missing";
    QTest::newRow("company folder exists already") << "company exists";
    QTest::newRow("program in a system folder") << "system";
}

// Running as root, a read-only folder is still writable; a file of the test's
// name that is already there, or no folder at all, is not.
void TestShellRules::dataFolderFallsBackToRoamingFolder() {
    QFETCH(QString, why);
    QTemporaryDir program;
    QTemporaryDir roaming;
    QString programFolder = program.path();
    if (why == "missing") {
        programFolder = program.filePath("gone");
    } else if (why == "system") {
        // Writable, but the system's: not even the writing test may leave a file there.
    } else {
        QFile existing(program.filePath("chk.tmp"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("keep");
    }
    if (why == "company exists")
        QVERIFY(QDir(roaming.path()).mkdir("KESTRIX"));
    FoldersAt folders(roaming.path().toStdString());
    if (why == "system")
        folders.system = programFolder.toStdString();
    const std::string chosen =
        app::ChooseDataFolder(programFolder.toStdString(), folders, "KESTRIX", "Zentaro");
    QCOMPARE(QDir::fromNativeSeparators(QString::fromStdString(chosen)),
             roaming.path() + "/KESTRIX/Zentaro/");
    if (why == "system")
        QCOMPARE(QDir(programFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());
    QVERIFY(QFileInfo(roaming.filePath("KESTRIX/Zentaro")).isDir());
    if (why == "chk.tmp") {
        QFile existing(program.filePath("chk.tmp"));
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("keep")); // untouched
    }
}

void TestShellRules::noFoldersCreatedWithoutRoamingFolder() {
    QTemporaryDir program;
    QFile(program.filePath("chk.tmp")).open(QIODevice::WriteOnly);
    FoldersAt folders("");
    const std::string chosen =
        app::ChooseDataFolder(program.path().toStdString(), folders, "KESTRIX", "Zentaro");
    QCOMPARE(QDir::fromNativeSeparators(QString::fromStdString(chosen)),
             QString("/KESTRIX/Zentaro/"));
    QVERIFY(folders.created.empty());
}

QTEST_GUILESS_MAIN(TestShellRules)
#include "test_shellrules.moc"
