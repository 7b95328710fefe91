// The data folder services and the running-copy mark on this system.
#include "platform/datafolders.h"
#include "platform/instancemarker.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zentaro::platform;

namespace {

// Sets (or with "-" unsets) an environment variable for one scope.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QByteArray& value) : name_(name) {
        if (qEnvironmentVariableIsSet(name))
            saved_ = qgetenv(name);
        if (value == "-")
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedVariable() {
        if (saved_)
            qputenv(name_, *saved_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    std::optional<QByteArray> saved_;
};

} // namespace

class TestDataFolders : public QObject {
    Q_OBJECT

private slots:
    void roamingFolder_data();
    void roamingFolder();
    void writableFolder_data();
    void writableFolder();
    void createFolder();
    void markerNeverStopsASecondCopy();
};

void TestDataFolders::roamingFolder_data() {
    QTest::addColumn<QByteArray>("xdg");
    QTest::addColumn<QByteArray>("home");
    QTest::addColumn<QString>("folder");
    QTest::newRow("XDG_DATA_HOME")
        << QByteArray("/data/me/") << QByteArray("/home/me") << "/data/me";
    QTest::newRow("relative XDG_DATA_HOME is ignored")
        << QByteArray("data") << QByteArray("/home/me") << "/home/me/.local/share";
    QTest::newRow("empty XDG_DATA_HOME")
        << QByteArray("") << QByteArray("/home/me/") << "/home/me/.local/share";
    QTest::newRow("no XDG_DATA_HOME")
        << QByteArray("-") << QByteArray("/root") << "/root/.local/share";
    QTest::newRow("nothing known") << QByteArray("-") << QByteArray("-") << "";
}

void TestDataFolders::roamingFolder() {
    QFETCH(QByteArray, xdg);
    QFETCH(QByteArray, home);
    QFETCH(QString, folder);
    ScopedVariable x("XDG_DATA_HOME", xdg);
    ScopedVariable h("HOME", home);
    QCOMPARE(QString::fromStdString(CreateDataFolders()->RoamingAppDataFolder()), folder);
}

void TestDataFolders::writableFolder_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("writable");
    QTest::newRow("empty folder") << "" << true;
    QTest::newRow("with trailing separator") << "slash" << true;
    QTest::newRow("chk.tmp already there") << "chk.tmp" << false;
    QTest::newRow("chk.tmp is a folder") << "chk.tmp/" << false;
    QTest::newRow("no such folder") << "missing" << false;
    QTest::newRow("a file, not a folder") << "file" << false;
}

void TestDataFolders::writableFolder() {
    QFETCH(QString, setup);
    QFETCH(bool, writable);
    QTemporaryDir dir;
    QString folder = dir.path();
    if (setup == "slash")
        folder += "/";
    else if (setup == "chk.tmp")
        QVERIFY(QFile(dir.filePath("chk.tmp")).open(QIODevice::WriteOnly));
    else if (setup == "chk.tmp/")
        QVERIFY(QDir(dir.path()).mkdir("chk.tmp"));
    else if (setup == "missing")
        folder = dir.filePath("missing");
    else if (setup == "file") {
        QVERIFY(QFile(dir.filePath("plain")).open(QIODevice::WriteOnly));
        folder = dir.filePath("plain");
    }
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QCOMPARE(CreateDataFolders()->IsFolderWritable(folder.toStdString()), writable);
    // Nothing is left behind, and nothing that was there is taken away.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

void TestDataFolders::createFolder() {
    QTemporaryDir dir;
    const auto folders = CreateDataFolders();
    const std::string path = dir.filePath("KESTRIX").toStdString();
    QVERIFY(folders->CreateFolder(path));
    QVERIFY(QFileInfo(dir.filePath("KESTRIX")).isDir());
    QVERIFY(!folders->CreateFolder(path));                              // exists already
    QVERIFY(!folders->CreateFolder(dir.filePath("a/b").toStdString())); // one level at a time
    QCOMPARE(folders->Separator(), '/');
}

void TestDataFolders::markerNeverStopsASecondCopy() {
    QTemporaryDir runtime;
    ScopedVariable r("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    const auto first = CreateInstanceMarker("KESTRIX_Zentaro");
    const auto second = CreateInstanceMarker("KESTRIX_Zentaro");
    QVERIFY(first && second);
    QVERIFY(QFileInfo::exists(runtime.filePath("KESTRIX_Zentaro.lock")));
}

QTEST_GUILESS_MAIN(TestDataFolders)
#include "test_datafolders.moc"
