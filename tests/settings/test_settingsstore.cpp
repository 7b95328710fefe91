// The per-user settings store, pointed at INI files in temporary folders.
#include "platform/settingslocation.h"
#include "settings/settingsstore.h"
#include "support/oddfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using zentaro::settings::SettingsStore;

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void storeReadsDecimalIntegers_data();
    void storeReadsDecimalIntegers();
    void storeWritesDecimalText();
    void storeThatCannotBeOpened();
    void fileThatIsNotTheStores_data();
    void fileThatIsNotTheStores();
    void linkToARegularFileStaysALink();
    void linesQtWouldRewrite_data();
    void linesQtWouldRewrite();
    void userStore_data();
    void userStore();
};

void TestSettingsStore::storeReadsDecimalIntegers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value"); // 7: the default
    QTest::newRow("digits") << "12" << 12;
    QTest::newRow("negative") << "-3" << -3;
    QTest::newRow("plus sign") << "+4" << 4;
    QTest::newRow("leading zeros") << "0000000000000000005" << 5;
    QTest::newRow("largest int") << "2147483647" << 2147483647;
    QTest::newRow("smallest int") << "-2147483648" << -2147483647 - 1;
    QTest::newRow("beyond int") << "2147483648" << 7;
    QTest::newRow("word") << "abc" << 7;
    QTest::newRow("fraction") << "1.5" << 7;
    QTest::newRow("hexadecimal") << "0x10" << 7;
    QTest::newRow("blank before") << "\" 5\"" << 7; // quoted: INI trims bare values
    QTest::newRow("sign alone") << "-" << 7;
    QTest::newRow("empty") << "" << 7;
    QTest::newRow("a list") << "1, 2" << 7;
}

void TestSettingsStore::storeReadsDecimalIntegers() {
    QFETCH(QString, text);
    QFETCH(int, value);
    QTemporaryDir dir;
    const QString file = dir.filePath("Zentaro.conf");
    {
        QFile raw(file);
        QVERIFY(raw.open(QIODevice::WriteOnly));
        raw.write("[Settings]\nValue=" + text.toUtf8() + "\n");
    }
    const auto store = SettingsStore::Open(file);
    QVERIFY(store->opened());
    QCOMPARE(store->ReadInteger("Value", 7), value);
    QCOMPARE(store->ReadInteger("Missing", 7), 7);
    QCOMPARE(store->ReadString("Missing", "none"), QStringLiteral("none"));
}

void TestSettingsStore::storeWritesDecimalText() {
    QTemporaryDir dir;
    // Folders on the way are created with the store.
    const QString file = dir.filePath("KESTRIX/Zentaro.conf");
    auto store = SettingsStore::Open(file);
    QVERIFY(store->opened());
    QVERIFY(store->WriteInteger("LastUpdateCheckCount", -12));
    QVERIFY(store->WriteString("LastUpdateCheck", "12/9/25"));
    QFile raw(file);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray content = raw.readAll();
    QVERIFY2(content.contains("[Settings]"), content);
    QVERIFY2(content.contains("LastUpdateCheckCount=-12"), content);
    QCOMPARE(SettingsStore::Open(file)->ReadString("LastUpdateCheck", {}),
             QStringLiteral("12/9/25"));
}

void TestSettingsStore::storeThatCannotBeOpened() {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // Its folder would have to be a file: it cannot be made, whoever runs the test.
    const auto store = SettingsStore::Open(dir.filePath("file/Zentaro.conf"));
    QVERIFY(!store->opened());
    QCOMPARE(store->ReadInteger("ShowUpdate", 1), 1);
    QVERIFY(!store->WriteInteger("ShowUpdate", 0));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{"file"});
}

// Names that hold something other than the store's own file: nothing of it is
// read (and nothing waits on it or fills memory), nothing is written, the reason
// is kept, and whatever a link leads to is as it was.
void TestSettingsStore::fileThatIsNotTheStores_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("FIFO") << "fifo"
                          << "not a regular file";
    QTest::newRow("link to /dev/null") << "null"
                                       << "not a regular file";
    QTest::newRow("link to a FIFO") << "fifo link"
                                    << "not a regular file";
    QTest::newRow("folder") << "folder"
                            << "not a regular file";
    QTest::newRow("link to nowhere") << "dangling"
                                     << "leads nowhere";
    QTest::newRow("link to another program's file") << "other"
                                                    << "not settings";
    QTest::newRow("lines without =") << "plain"
                                     << "not settings";
    QTest::newRow("one byte past the cap") << "large"
                                           << "larger than 64 KiB";
    QTest::newRow("300 MB, sparse") << "huge"
                                    << "larger than 64 KiB";
}

void TestSettingsStore::fileThatIsNotTheStores() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    using namespace zentaro::testing;
    if (const char* why = SpecialFilesMissing();
        why && (kind == "fifo" || kind == "fifo link" || kind == "null"))
        QSKIP(why);
    if (const char* why = SymbolicLinksMissing();
        why && (kind == "fifo link" || kind == "null" || kind == "dangling" || kind == "other"))
        QSKIP(why);
    QTemporaryDir dir;
    const QString file = dir.filePath("Zentaro.conf");
    const QString other = dir.filePath("other.txt");
    const QByteArray otherText = "[Settings]\nShowUpdate=0\na line of another program\n";
    {
        QFile raw(other);
        QVERIFY(raw.open(QIODevice::WriteOnly));
        raw.write(otherText);
    }
    QStringList fifos;
    if (kind == "fifo" || kind == "fifo link") {
        QVERIFY(MakeFifo(dir.filePath("pipe")));
        QVERIFY(kind == "fifo" ? QFile::rename(dir.filePath("pipe"), file)
                               : QFile::link(dir.filePath("pipe"), file));
        fifos << file;
    } else if (kind == "null") {
        if (ExpendableNullDevice().isEmpty())
            QSKIP("no null device that a faulty writer may replace");
        QVERIFY(MakeDeviceLink(file, ExpendableNullDevice()));
    } else if (kind == "folder") {
        QVERIFY(QDir(dir.path()).mkdir("Zentaro.conf"));
    } else if (kind == "dangling") {
        QVERIFY(QFile::link(dir.filePath("nowhere"), file));
    } else if (kind == "other") {
        QVERIFY(QFile::link(other, file));
    } else if (kind == "plain") {
        QVERIFY(QFile::copy(other, file));
    } else if (kind == "large") {
        QVERIFY(
            MakeSparseFile(file, SettingsStore::kMaxFileBytes + 1, "[Settings]\nShowUpdate=0\n"));
    } else if (kind == "huge") {
        QVERIFY(MakeSparseFile(file, 300'000'000, "[Settings]\nShowUpdate=0\n"));
    }
    const QFileInfo before(file);
    const qint64 sizeBefore = before.isSymLink() ? -1 : before.size();

    std::unique_ptr<SettingsStore> store;
    bool wrote = true;
    int showUpdate = 0;
    QVERIFY(FinishesInTime(
        [&] {
            store = SettingsStore::Open(file);
            showUpdate = store->ReadInteger("ShowUpdate", 1);
            wrote = store->WriteInteger("ShowUpdate", 5);
        },
        fifos, std::chrono::seconds(20)));
    QVERIFY(!store->opened());
    QCOMPARE(showUpdate, 1);
    QVERIFY(!wrote);
    QVERIFY2(store->reason().contains(reason), qPrintable(store->reason()));
    // The name as the system writes it (backslashes on Windows).
    QVERIFY2(store->reason().contains(QDir::toNativeSeparators(file)), qPrintable(store->reason()));

    // Nothing was written: the name holds what it held, a link leads where it led.
    const QFileInfo after(file);
    QCOMPARE(after.isSymLink(), before.isSymLink());
    QCOMPARE(after.symLinkTarget(), before.symLinkTarget());
    QCOMPARE(after.isDir(), before.isDir());
    if (sizeBefore >= 0)
        QCOMPARE(after.size(), sizeBefore);
    QFile raw(other);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QCOMPARE(raw.readAll(), otherText);
    // No new file (a half-written copy, a lock) beside them either.
    const QStringList entries =
        QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
    QCOMPARE(entries.size(), kind == "fifo link" ? 3 : 2);
    if (!SpecialFilesMissing())
        for (const QString& device : {QStringLiteral("/dev/null"), ExpendableNullDevice()})
            QVERIFY(QFileInfo(device).exists() && !QFileInfo(device).isFile());
}

// A dotfile manager's link to the real file: the file it leads to is replaced
// (a new file renamed over it), the link stays, and nothing is left beside either.
void TestSettingsStore::linkToARegularFileStaysALink() {
    if (const char* why = zentaro::testing::SymbolicLinksMissing())
        QSKIP(why);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("dotfiles"));
    const QString real = dir.filePath("dotfiles/Zentaro.conf");
    const QString file = dir.filePath("Zentaro.conf");
    {
        QFile raw(real);
        QVERIFY(raw.open(QIODevice::WriteOnly));
        raw.write("[Settings]\nShowUpdate=0\nLanguage=German.lang.txt\n");
    }
    QVERIFY(QFile::link(real, file));
    auto store = SettingsStore::Open(file);
    QVERIFY2(store->opened(), qPrintable(store->reason()));
    QVERIFY(store->reason().isEmpty());
    QCOMPARE(store->ReadInteger("ShowUpdate", 1), 0);
    QVERIFY(store->WriteInteger("ShowUpdate", 1));
    QVERIFY(QFileInfo(file).isSymLink());
    QCOMPARE(QFileInfo(file).symLinkTarget(), real);
    QCOMPARE(SettingsStore::Open(file)->ReadInteger("ShowUpdate", 7), 1);
    QCOMPARE(SettingsStore::Open(real)->ReadString("Language", {}), QString("German.lang.txt"));
    QCOMPARE(QDir(dir.filePath("dotfiles")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"Zentaro.conf"});
}

void TestSettingsStore::linesQtWouldRewrite_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("linked");
    QTest::addColumn<bool>("used");
    // Qt would write these lines back as something else: another program's file.
    QTest::newRow("a quoted value, linked")
        << QByteArray("[Settings]\nA=\"x y\"\n") << true << false;
    QTest::newRow("a comment holding =, linked")
        << QByteArray("# c=d\n[Settings]\nA=1\n") << true << false;
    QTest::newRow("a ; comment") << QByteArray("; c=d\n[Settings]\nA=1\n") << false << false;
    QTest::newRow("a key outside any section")
        << QByteArray("A=1\n[Settings]\nB=2\n") << false << false;
    QTest::newRow("blanks around =") << QByteArray("[Settings]\nA = 1\n") << false << false;
    QTest::newRow("a ; in a value") << QByteArray("[Settings]\nA=a;b\n") << false << false;
    QTest::newRow("an empty section") << QByteArray("[Empty]\n[Settings]\nA=1\n") << false << false;
    // Every line comes back as it was, in Qt's order, with Qt's blank lines and
    // line ends: nothing is lost.
    QTest::newRow("keys in another order, linked")
        << QByteArray("[Settings]\nShowUpdate=0\nA=1\n") << true << true;
    QTest::newRow("sections in another order")
        << QByteArray("[Settings]\nA=1\n[Other]\nB=2\n") << false << true;
    QTest::newRow("CR LF, no line end at the end")
        << QByteArray("[Settings]\r\nA=1\r\n\r\n[Z]\r\nB=2") << false << true;
}

// A file whose lines Qt would not write back as they are is not the store's:
// left as it is, reached directly or through a link. One Qt writes back line for
// line is used, and a write keeps every line.
void TestSettingsStore::linesQtWouldRewrite() {
    QFETCH(QByteArray, content);
    QFETCH(bool, linked);
    QFETCH(bool, used);
    if (const char* why = zentaro::testing::SymbolicLinksMissing(); why && linked)
        QSKIP(why);
    QTemporaryDir dir;
    const QString real = dir.filePath(linked ? "dotfiles.conf" : "Zentaro.conf");
    const QString file = dir.filePath("Zentaro.conf");
    {
        QFile raw(real);
        QVERIFY(raw.open(QIODevice::WriteOnly) && raw.write(content) == content.size());
    }
    if (linked)
        QVERIFY(QFile::link(real, file));
    auto store = SettingsStore::Open(file);
    QCOMPARE(store->opened(), used);
    QCOMPARE(store->refused(), !used);
    QCOMPARE(store->ReadInteger("A", 7), used ? 1 : 7);
    QCOMPARE(store->WriteInteger("C", 3), used);
    QFile raw(real);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray after = raw.readAll();
    if (!used) {
        QVERIFY2(store->reason().contains("would not write back"), qPrintable(store->reason()));
        QCOMPARE(after, content);
        return;
    }
    QCOMPARE(QFileInfo(file).isSymLink(), linked);
    QVERIFY2(after.contains("[Settings]"), after);
    QVERIFY2(after.contains("\nC=3"), after);
    for (QByteArray line : content.split('\n')) {
        line = line.trimmed();
        QVERIFY2(after.contains(line), line);
    }
    QCOMPARE(SettingsStore::Open(file)->ReadInteger("C", 7), 3);
}

void TestSettingsStore::userStore_data() {
    QTest::addColumn<QString>("kind");
    // Qt keeps the first place it was asked for: what must not be read comes first.
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("300 MB, sparse") << "huge";
    QTest::newRow("none yet") << "none";
}

// The store the program opens, with no file name: found where the system keeps
// per-user settings, and looked at before anything reads it, as a named file is.
void TestSettingsStore::userStore() {
    QFETCH(QString, kind);
    using namespace zentaro::testing;
    if (const char* why = SpecialFilesMissing(); why && kind == "fifo")
        QSKIP(why);
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const bool wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    const auto restore = qScopeGuard([&] {
        if (wasSet)
            qputenv("XDG_CONFIG_HOME", saved);
        else
            qunsetenv("XDG_CONFIG_HOME");
    });
    if (zentaro::platform::UserSettingsLocation("KESTRIX", "Zentaro").registry)
        QSKIP("the settings live in the registry here");
    const QString file = dir.filePath("KESTRIX/Zentaro.conf");
    QStringList fifos;
    if (kind != "none")
        QVERIFY(QDir(dir.path()).mkdir("KESTRIX"));
    if (kind == "fifo") {
        QVERIFY(MakeFifo(file));
        fifos << file;
    } else if (kind == "huge") {
        QVERIFY(MakeSparseFile(file, 300'000'000, "[Settings]\nShowUpdate=0\n"));
    }

    std::unique_ptr<SettingsStore> store;
    QVERIFY(
        FinishesInTime([&] { store = SettingsStore::Open(); }, fifos, std::chrono::seconds(20)));
    QCOMPARE(store->fileName(), file);
    QCOMPARE(store->opened(), kind == "none");
    QCOMPARE(store->refused(), kind != "none");
    if (kind == "none") {
        QVERIFY(store->WriteInteger("ShowUpdate", 0));
        QCOMPARE(SettingsStore::Open(file)->ReadInteger("ShowUpdate", 1), 0);
        return;
    }
    QVERIFY2(store->reason().contains(file), qPrintable(store->reason()));
    QVERIFY(!QFileInfo(file).isFile() || QFileInfo(file).size() == 300'000'000);
}

QTEST_MAIN(TestSettingsStore)
#include "test_settingsstore.moc"
