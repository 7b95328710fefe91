// Where the per-user settings file lies: where Qt's own per-user settings put it,
// from the environment alone.
#include "platform/settingslocation.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using zentaro::platform::UserSettingsLocation;

namespace {

void Set(const char* name, const std::optional<QByteArray>& value) {
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

std::optional<QByteArray> Get(const char* name) {
    return qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                           : std::nullopt;
}

} // namespace

class TestSettingsLocation : public QObject {
    Q_OBJECT

private slots:
    void sameAsQt();
    void fromTheEnvironment_data();
    void fromTheEnvironment();
    void cleanup();

private:
    std::optional<QByteArray> config_ = Get("XDG_CONFIG_HOME");
    std::optional<QByteArray> home_ = Get("HOME");
};

// Qt works its per-user folder out once per process, so it is asked once, with a
// configuration folder of the test's own that does not exist (nothing is read).
void TestSettingsLocation::sameAsQt() {
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("a/../config//")));
    const QSettings native(QSettings::NativeFormat, QSettings::UserScope, "KESTRIX", "Zentaro");
    const auto place = UserSettingsLocation("KESTRIX", "Zentaro");
    QVERIFY(!place.registry);
    QCOMPARE(QString::fromStdString(place.file), native.fileName());
    QCOMPARE(QString::fromStdString(place.file), dir.filePath("config/KESTRIX/Zentaro.conf"));
}

void TestSettingsLocation::fromTheEnvironment_data() {
    QTest::addColumn<QByteArray>("config"); // "-": not set
    QTest::addColumn<QByteArray>("home");   // "-": not set
    QTest::addColumn<QString>("file");
    QTest::newRow("XDG_CONFIG_HOME")
        << QByteArray("/x/conf") << QByteArray("/home/u") << "/x/conf/KESTRIX/Zentaro.conf";
    QTest::newRow("dots and doubled slashes")
        << QByteArray("/x/a/../b//c/./") << QByteArray("-") << "/x/b/c/KESTRIX/Zentaro.conf";
    QTest::newRow("relative XDG_CONFIG_HOME is ignored")
        << QByteArray("rel/conf") << QByteArray("/home/u")
        << "/home/u/.config/KESTRIX/Zentaro.conf";
    QTest::newRow("empty XDG_CONFIG_HOME")
        << QByteArray("") << QByteArray("/home/u/") << "/home/u/.config/KESTRIX/Zentaro.conf";
    QTest::newRow("only HOME") << QByteArray("-") << QByteArray("/home/./u")
                               << "/home/u/.config/KESTRIX/Zentaro.conf";
    QTest::newRow("neither") << QByteArray("-") << QByteArray("-")
                             << "/.config/KESTRIX/Zentaro.conf";
    QTest::newRow("empty HOME") << QByteArray("-") << QByteArray("")
                                << "/.config/KESTRIX/Zentaro.conf";
}

void TestSettingsLocation::fromTheEnvironment() {
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, home);
    QFETCH(QString, file);
    Set("XDG_CONFIG_HOME", config == "-" ? std::nullopt : std::optional<QByteArray>(config));
    Set("HOME", home == "-" ? std::nullopt : std::optional<QByteArray>(home));
    const auto place = UserSettingsLocation("KESTRIX", "Zentaro");
    QVERIFY(!place.registry);
    QCOMPARE(QString::fromStdString(place.file), file);
}

void TestSettingsLocation::cleanup() {
    Set("XDG_CONFIG_HOME", config_);
    Set("HOME", home_);
}

QTEST_GUILESS_MAIN(TestSettingsLocation)
#include "test_settingslocation.moc"
