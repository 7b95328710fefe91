// The Linux sources of what the update check tells the server: the system's
// description from os-release and the kernel, the user's locale, and the
// machine id, against real files in temporary folders.
#include "platform/linux/onlinefacts_linux.h"
#include "support/filetree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <map>

using namespace zentaro::platform;
using namespace zentaro::platform::linux_impl;

using zentaro::testing::WriteText;

class TestOnlineFactsLinux : public QObject {
    Q_OBJECT

private slots:
    void osReleaseValue_data();
    void osReleaseValue();
    void osDescription_data();
    void osDescription();
    void localeName_data();
    void localeName();
    void userLocale_data();
    void userLocale();
    void liveUserLocale();
    void machineId_data();
    void machineId();
};

void TestOnlineFactsLinux::osReleaseValue_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("double quotes")
        << QByteArray("NAME=x\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n")
        << QByteArray("Debian GNU/Linux 12 (bookworm)");
    QTest::newRow("single quotes")
        << QByteArray("PRETTY_NAME='Arch $Linux'") << QByteArray("Arch $Linux");
    QTest::newRow("bare") << QByteArray("PRETTY_NAME=Gentoo") << QByteArray("Gentoo");
    QTest::newRow("escapes") << QByteArray("PRETTY_NAME=\"A \\\"B\\\" \\\\ \\$C \\d\"")
                             << QByteArray("A \"B\" \\ $C \\d");
    QTest::newRow("comment and other keys")
        << QByteArray("# PRETTY_NAME=\"no\"\nXPRETTY_NAME=no\nPRETTY_NAME=yes\r\n")
        << QByteArray("yes");
    QTest::newRow("last one wins") << QByteArray("PRETTY_NAME=a\nPRETTY_NAME=b") << QByteArray("b");
    QTest::newRow("missing") << QByteArray("NAME=Fedora\n") << QByteArray();
}

void TestOnlineFactsLinux::osReleaseValue() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, value);
    QCOMPARE(QByteArray::fromStdString(OsReleaseValue(file.toStdString(), "PRETTY_NAME")), value);
}

void TestOnlineFactsLinux::osDescription_data() {
    QTest::addColumn<QString>("file"); // under the root
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("release");
    QTest::addColumn<QString>("machine");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QList<unsigned>>("version"); // major, minor, build
    QTest::addColumn<bool>("x64");
    QTest::newRow("Debian") << "etc/os-release"
                            << QByteArray("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n")
                            << "6.1.0-18-amd64"
                            << "x86_64"
                            << "Debian GNU/Linux 12 (bookworm)" << QList<unsigned>{6, 1, 0} << true;
    QTest::newRow("only the fallback file, NAME only")
        << "usr/lib/os-release" << QByteArray("NAME=Fedora\n") << "6.8.11-300.fc40.x86_64"
        << "aarch64"
        << "Fedora" << QList<unsigned>{6, 8, 11} << false;
    QTest::newRow("no os-release") << "" << QByteArray() << "5.15"
                                   << "i686"
                                   << "Linux" << QList<unsigned>{5, 15, 0} << false;
    QTest::newRow("odd release") << "etc/os-release" << QByteArray("PRETTY_NAME=X") << "6.9-rc3"
                                 << "x86_64"
                                 << "X" << QList<unsigned>{6, 9, 0} << true;
    QTest::newRow("no release") << "etc/os-release" << QByteArray("PRETTY_NAME=X") << ""
                                << "x86_64"
                                << "X" << QList<unsigned>{0, 0, 0} << true;
}

void TestOnlineFactsLinux::osDescription() {
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, release);
    QFETCH(QString, machine);
    QFETCH(QString, product);
    QFETCH(QList<unsigned>, version);
    QFETCH(bool, x64);
    QTemporaryDir root;
    if (!file.isEmpty())
        QVERIFY(WriteText(root.filePath(file), content));
    const OsFacts facts =
        LinuxOsDescription(root.path().toStdString(), release.toStdString(), machine.toStdString())
            .Describe();
    QCOMPARE(QString::fromStdString(facts.productName), product);
    QCOMPARE((QList<unsigned>{facts.major, facts.minor, facts.build}), version);
    QCOMPARE(facts.servicePackMajor, 0u);
    QCOMPARE(facts.x64, x64);
}

void TestOnlineFactsLinux::localeName_data() {
    QTest::addColumn<QString>("posix");
    QTest::addColumn<QString>("name");
    QTest::newRow("de_DE.UTF-8") << "de_DE.UTF-8"
                                 << "de-DE";
    QTest::newRow("en_US") << "en_US"
                           << "en-US";
    QTest::newRow("sr_RS@latin") << "sr_RS@latin"
                                 << "sr-Latn-RS";
    QTest::newRow("es_419.UTF-8") << "es_419.UTF-8"
                                  << "es-419";
    QTest::newRow("language only") << "fr"
                                   << "fr";
    QTest::newRow("three letters") << "fil_PH.UTF-8"
                                   << "fil-PH";
    QTest::newRow("C") << "C"
                       << "";
    QTest::newRow("C.UTF-8") << "C.UTF-8"
                             << "";
    QTest::newRow("POSIX") << "POSIX"
                           << "";
    QTest::newRow("region in lower case") << "de_de"
                                          << "";
    QTest::newRow("junk") << "../../etc"
                          << "";
}

void TestOnlineFactsLinux::localeName() {
    QFETCH(QString, posix);
    QFETCH(QString, name);
    QCOMPARE(QString::fromStdString(LocaleNameFromPosix(posix.toStdString())), name);
}

void TestOnlineFactsLinux::userLocale_data() {
    QTest::addColumn<QString>("lcAll");
    QTest::addColumn<QString>("lcTime");
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("name");
    // Installed here: de_DE.UTF-8, en_US.UTF-8, C.UTF-8.
    QTest::newRow("LANG") << ""
                          << ""
                          << "en_US.UTF-8"
                          << "en-US";
    QTest::newRow("LC_TIME before LANG") << ""
                                         << "de_DE.UTF-8"
                                         << "en_US.UTF-8"
                                         << "de-DE";
    QTest::newRow("LC_ALL first") << "en_US.UTF-8"
                                  << "de_DE.UTF-8"
                                  << ""
                                  << "en-US";
    QTest::newRow("not installed") << ""
                                   << ""
                                   << "fr_FR.UTF-8"
                                   << "xx";
    QTest::newRow("C.UTF-8") << ""
                             << ""
                             << "C.UTF-8"
                             << "xx";
    QTest::newRow("nothing set") << ""
                                 << ""
                                 << ""
                                 << "xx";
}

void TestOnlineFactsLinux::userLocale() {
    QFETCH(QString, lcAll);
    QFETCH(QString, lcTime);
    QFETCH(QString, lang);
    QFETCH(QString, name);
    const std::map<std::string, std::string> variables{{"LC_ALL", lcAll.toStdString()},
                                                       {"LC_TIME", lcTime.toStdString()},
                                                       {"LANG", lang.toStdString()}};
    const LinuxUserLocale locale([&](const char* variable) { return variables.at(variable); },
                                 [](const std::string& installed) {
                                     return installed == "de_DE.UTF-8" ||
                                            installed == "en_US.UTF-8" || installed == "C.UTF-8";
                                 });
    QCOMPARE(QString::fromStdString(locale.LocaleName()), name);
}

void TestOnlineFactsLinux::liveUserLocale() {
    // This process's own environment and C library: a locale that cannot exist
    // reads as unknown, and C, which every system has, names no language.
    const QByteArray saved = qgetenv("LC_ALL");
    const bool wasSet = qEnvironmentVariableIsSet("LC_ALL");
    qputenv("LC_ALL", "zz_ZZ.UTF-8");
    const std::string unknown = CreateUserLocale()->LocaleName();
    qputenv("LC_ALL", "C");
    const std::string c = CreateUserLocale()->LocaleName();
    if (wasSet)
        qputenv("LC_ALL", saved);
    else
        qunsetenv("LC_ALL");
    QCOMPARE(unknown, std::string("xx"));
    QCOMPARE(c, std::string("xx"));
}

void TestOnlineFactsLinux::machineId_data() {
    QTest::addColumn<QByteArray>("etc"); // "-": no file; "/": a folder
    QTest::addColumn<QByteArray>("dbus");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("value");
    const int found = int(MachineId::Status::Found);
    const int missing = int(MachineId::Status::Missing);
    const int unreadable = int(MachineId::Status::Unreadable);
    const QByteArray id = "4c4c4544003957108052b4c04f384b32";
    QTest::newRow("systemd") << id + "\n" << QByteArray("-") << found << id;
    QTest::newRow("upper case") << id.toUpper() << QByteArray("-") << found << id;
    QTest::newRow("D-Bus copy") << QByteArray("-") << id + "\n" << found << id;
    QTest::newRow("none") << QByteArray("-") << QByteArray("-") << missing << QByteArray();
    QTest::newRow("empty: not yet set")
        << QByteArray("") << QByteArray("-") << missing << QByteArray();
    QTest::newRow("uninitialized")
        << QByteArray("uninitialized\n") << QByteArray("-") << missing << QByteArray();
    QTest::newRow("malformed") << QByteArray("not-an-id\n") << QByteArray("-") << unreadable
                               << QByteArray();
    QTest::newRow("too short") << id.left(31) << QByteArray("-") << unreadable << QByteArray();
    QTest::newRow("a folder") << QByteArray("/") << QByteArray("-") << unreadable << QByteArray();
    QTest::newRow("malformed, copy fine") << QByteArray("x") << id << found << id;
}

void TestOnlineFactsLinux::machineId() {
    QFETCH(QByteArray, etc);
    QFETCH(QByteArray, dbus);
    QFETCH(int, status);
    QFETCH(QByteArray, value);
    QTemporaryDir root;
    const auto place = [&](const QString& path, const QByteArray& content) {
        if (content == "-")
            return true;
        if (content == "/")
            return QDir().mkpath(root.filePath(path));
        return WriteText(root.filePath(path), content);
    };
    QVERIFY(place("etc/machine-id", etc));
    QVERIFY(place("var/lib/dbus/machine-id", dbus));
    const MachineId id = LinuxMachineIdentity(root.path().toStdString()).ReadMachineId();
    QCOMPARE(int(id.status), status);
    QCOMPARE(QByteArray::fromStdString(id.value), value);
}

QTEST_GUILESS_MAIN(TestOnlineFactsLinux)
#include "test_onlinefacts_linux.moc"
