// The restart scripts: their exact bytes for Windows and for a POSIX shell, and a
// real run of the shell script that starts a stand-in program from a path made of
// everything a shell might otherwise act on.
#include "platform/restart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using zentaro::platform::PosixRestartScript;
using zentaro::platform::WindowsRestartBatch;

namespace {

const QByteArray kBatchHead = "@ECHO OFF\r\n"
                              "ECHO This file was created automatically to restart the program.\r\n"
                              "ECHO It is safe to delete this file.\r\n";
const QByteArray kScriptHead = "#!/bin/sh\n"
                               "# This file was created automatically to restart the program.\n"
                               "# It is safe to delete this file.\n"
                               "sleep 1\n";

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

} // namespace

class TestRestart : public QObject {
    Q_OBJECT

private slots:
    void windowsBatch_data();
    void windowsBatch();
    void posixScript_data();
    void posixScript();
    void scriptStartsTheProgram();
};

void TestRestart::windowsBatch_data() {
    QTest::addColumn<QByteArray>("executable");
    QTest::addColumn<int>("major");
    QTest::addColumn<QByteArray>("expected"); // empty: refused
    QTest::newRow("Windows 10") << QByteArray("C:\\Program Files\\Zentaro\\Zentaro.exe") << 10
                                << kBatchHead + "timeout 1\r\n"
                                                "\"C:\\Program Files\\Zentaro\\Zentaro.exe\"\r\n";
    QTest::newRow("Vista, the first with timeout")
        << QByteArray("C:\\Z.exe") << 6 << kBatchHead + "timeout 1\r\n\"C:\\Z.exe\"\r\n";
    QTest::newRow("XP: four lines")
        << QByteArray("C:\\Z.exe") << 5 << kBatchHead + "\"C:\\Z.exe\"\r\n";
    QTest::newRow("blank and $ as they are, % doubled")
        << QByteArray("D:\\a b\\$x\\100%\\Z.exe") << 10
        << kBatchHead + "timeout 1\r\n\"D:\\a b\\$x\\100%%\\Z.exe\"\r\n";
    QTest::newRow("a quote cannot be written")
        << QByteArray("D:\\a\"b\\Z.exe") << 10 << QByteArray();
    QTest::newRow("nor a line break") << QByteArray("D:\\a\r\nb\\Z.exe") << 10 << QByteArray();
}

void TestRestart::windowsBatch() {
    QFETCH(QByteArray, executable);
    QFETCH(int, major);
    QFETCH(QByteArray, expected);
    const std::optional<std::string> batch = WindowsRestartBatch(executable.toStdString(), major);
    if (expected.isEmpty()) {
        QVERIFY(!batch);
        return;
    }
    QVERIFY(batch);
    QCOMPARE(QByteArray::fromStdString(*batch), expected);
}

void TestRestart::posixScript_data() {
    QTest::addColumn<QByteArray>("executable");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("plain") << QByteArray("/usr/bin/zentaro")
                           << kScriptHead + "exec '/usr/bin/zentaro'\n";
    QTest::newRow("quote, blank, $ and backquote")
        << QByteArray("/opt/it's a $HOME `id`/zentaro")
        << kScriptHead + "exec '/opt/it'\\''s a $HOME `id`/zentaro'\n";
    QTest::newRow("line break") << QByteArray("/tmp/a\nb") << kScriptHead + "exec '/tmp/a\nb'\n";
    QTest::newRow("relative, starting with a dash")
        << QByteArray("-x") << kScriptHead + "exec './-x'\n";
}

void TestRestart::posixScript() {
    QFETCH(QByteArray, executable);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(PosixRestartScript(executable.toStdString())), expected);
}

// The stand-in notes how it was started and where; a path that a shell would read
// as commands would leave a file "injected" behind instead.
void TestRestart::scriptStartsTheProgram() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString weird = root.filePath("it's a $HOME `touch injected` $(touch injected) \\ x");
    QVERIFY(QDir().mkpath(weird));
    const QString standIn = weird + "/zentaro stand-in";
    QVERIFY(WriteFile(standIn, "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$#\" \"$PWD\" > marker\n"));
    QVERIFY(QFile::setPermissions(standIn, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString dataFolder = root.filePath("data $(touch injected)");
    QVERIFY(QDir().mkpath(dataFolder));

    const auto restarter = zentaro::platform::CreateRestarter();
    QCOMPARE(restarter->ScriptName(), std::string("start.sh"));
    const std::optional<std::string> script =
        restarter->ScriptFor(QFile::encodeName(standIn).toStdString());
    QVERIFY(script);
    const QString scriptPath = dataFolder + "/start.sh";
    QVERIFY(WriteFile(scriptPath, QByteArray::fromStdString(*script)));
    QVERIFY(restarter->RunScript(QFile::encodeName(scriptPath).toStdString(),
                                 QFile::encodeName(dataFolder).toStdString()));

    // Started in the data folder, from its full path, without arguments.
    const QString marker = dataFolder + "/marker";
    QTRY_VERIFY_WITH_TIMEOUT(QFile(marker).size() > 0, 15000);
    QFile written(marker);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(written.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines, QStringList({standIn, "0", dataFolder}));
    for (const QString& folder : {root.path(), weird, dataFolder, QDir::currentPath()})
        QVERIFY2(!QFile::exists(folder + "/injected"), qPrintable(folder));

    // A script that cannot be started is reported.
    QVERIFY(!restarter->RunScript(QFile::encodeName(scriptPath).toStdString(),
                                  QFile::encodeName(root.filePath("missing")).toStdString()));
}

QTEST_GUILESS_MAIN(TestRestart)
#include "test_restart.moc"
