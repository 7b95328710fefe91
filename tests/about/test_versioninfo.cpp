// The program's identity from an executable's version block.
#include "about/versioninfo.h"
#include "platform/versionblock.h"
#include "support/elffixture.h"

#include <QtTest>
#include <cerrno>
#include <cstdio>
#include <map>

using namespace zentaro;
namespace vb = zentaro::platform::versionblock;

namespace {

// Holds blocks for file names in memory and answers with the platform's own
// query, so a test can hand in blocks no real file would have. Counts how often
// a block is asked for, and can report a size it then fails to read.
class MemoryVersionResource : public platform::VersionResource {
public:
    std::map<std::string, std::vector<std::uint8_t>> files;
    bool failRead = false;

    std::uint32_t BlockSize(const std::string& name, int& error) const override {
        const auto it = files.find(name);
        error = it == files.end() ? ENOENT : 0;
        return it == files.end() ? 0 : static_cast<std::uint32_t>(it->second.size());
    }
    bool ReadBlock(const std::string& name, std::span<std::uint8_t> buffer,
                   int& error) const override {
        if (failRead) {
            error = EIO;
            return false;
        }
        const auto& block = files.at(name);
        std::copy(block.begin(), block.begin() + buffer.size(), buffer.begin());
        error = 0;
        return true;
    }
    std::optional<platform::VersionValue> QueryValue(std::span<const std::uint8_t> block,
                                                     const std::string& path) const override {
        return platform::CreateVersionResource()->QueryValue(block, path);
    }
    std::string ErrorText(int error) const override { return "text for " + std::to_string(error); }
};

vb::Contents Kestrix(std::uint32_t ms = 1u << 16) {
    vb::Contents c;
    c.fixed.fileVersionMS = ms;
    c.translations = {{0x0409, 0x04B0}};
    c.tables = {{"040904B0",
                 {{"CompanyName", "KESTRIX"},
                  {"FileDescription", "d"},
                  {"FileVersion", "1.0.0.0"},
                  {"InternalName", "i"},
                  {"LegalCopyright", "c"},
                  {"LegalTrademarks", "t"},
                  {"OriginalFilename", "o"},
                  {"ProductName", "Zentaro"},
                  {"ProductVersion", "p"},
                  {"Comments", "m"},
                  {"SpecialBuild", "s"}}}};
    return c;
}

QString ExePath(const char* name) {
    return QStringLiteral(ZENTARO_BIN_DIR "/") + name;
}

} // namespace

class TestVersionInfo : public QObject {
    Q_OBJECT

private slots:
    void allTwelveStrings();
    void firstTranslationWins();
    void translationAsWritten_data();
    void translationAsWritten();
    void appVersion_data();
    void appVersion();
    void failures_data();
    void failures();
    void missingCompanyKeepsTheDash();
    void fromFileOnDisk();
    void realExecutables_data();
    void realExecutables();
    void fileGoneWhileRunning_data();
    void fileGoneWhileRunning();
};

// Every field from its own string; PrivateBuild is absent and alone stays empty.
void TestVersionInfo::allTwelveStrings() {
    MemoryVersionResource r;
    r.files["a"] = *vb::Build(Kestrix());
    const TEXEVersionData d = ReadExeVersionData(r, "a");
    QCOMPARE(d.CompanyName, std::string("KESTRIX"));
    QCOMPARE(d.FileDescription, std::string("d"));
    QCOMPARE(d.FileVersion, std::string("1.0.0.0"));
    QCOMPARE(d.InternalName, std::string("i"));
    QCOMPARE(d.LegalCopyright, std::string("c"));
    QCOMPARE(d.LegalTrademarks, std::string("t"));
    QCOMPARE(d.OriginalFileName, std::string("o")); // stored as OriginalFilename
    QCOMPARE(d.ProductName, std::string("Zentaro"));
    QCOMPARE(d.ProductVersion, std::string("p"));
    QCOMPARE(d.Comments, std::string("m"));
    QCOMPARE(d.PrivateBuild, std::string());
    QCOMPARE(d.SpecialBuild, std::string("s"));
}

// The table of the first translation is read, wherever it lies; strings only
// another table has are not found.
void TestVersionInfo::firstTranslationWins() {
    vb::Contents c;
    c.translations = {{0x0409, 0x04B0}, {0x041F, 0x04B0}};
    c.tables = {{"041f04b0", {{"CompanyName", "KESTRIX TR"}, {"Comments", "yalnız"}}},
                {"040904b0", {{"CompanyName", "KESTRIX"}, {"ProductName", "Zentaro"}}}};
    MemoryVersionResource r;
    r.files["a"] = *vb::Build(c);
    const TEXEVersionData d = ReadExeVersionData(r, "a");
    QCOMPARE(d.CompanyName, std::string("KESTRIX"));
    QCOMPARE(d.ProductName, std::string("Zentaro"));
    QCOMPARE(d.Comments, std::string());

    // With the Turkish pair first, the Turkish table is the one.
    std::swap(c.translations[0], c.translations[1]);
    r.files["a"] = *vb::Build(c);
    QCOMPARE(ReadExeVersionData(r, "a").CompanyName, std::string("KESTRIX TR"));
}

// The first pair comes from the value's first four bytes, whatever type and
// length its writer stored.
void TestVersionInfo::translationAsWritten_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("length");
    QTest::newRow("binary, in bytes") << 0 << 4;
    QTest::newRow("text type, in units") << 1 << 2;
    QTest::newRow("text type, length 0") << 1 << 0;
    QTest::newRow("length 0") << 0 << 0;
    QTest::newRow("shorter than one pair") << 0 << 2;
    QTest::newRow("longer than its node") << 0 << 0x100;
}

void TestVersionInfo::translationAsWritten() {
    QFETCH(int, type);
    QFETCH(int, length);
    MemoryVersionResource r;
    auto& block = r.files["a"] = *vb::Build(Kestrix());
    const std::size_t translation = block.size() - 36; // the last node, one pair
    block[translation + 2] = static_cast<std::uint8_t>(length);
    block[translation + 3] = static_cast<std::uint8_t>(length >> 8);
    block[translation + 4] = static_cast<std::uint8_t>(type);
    const TEXEVersionData d = ReadExeVersionData(r, "a");
    QCOMPARE(d.CompanyName, std::string("KESTRIX"));
    QCOMPARE(d.ProductName, std::string("Zentaro"));
}

void TestVersionInfo::appVersion_data() {
    QTest::addColumn<uint>("ms");
    QTest::addColumn<QString>("version");
    QTest::newRow("1.10.0.0") << (1u << 16 | 10) << "1.10";
    QTest::newRow("3.0.5.12") << (3u << 16 | 0) << "3.0";
    QTest::newRow("1.0.0.0") << (1u << 16) << "1.0";
    QTest::newRow("65535.65535") << 0xFFFFFFFFu << "65535.65535";
}

void TestVersionInfo::appVersion() {
    QFETCH(uint, ms);
    QFETCH(QString, version);
    vb::Contents c = Kestrix(ms);
    c.fixed.fileVersionLS = 5u << 16 | 12; // release and build play no part
    MemoryVersionResource r;
    r.files["a"] = *vb::Build(c);
    QCOMPARE(ReadExeFileVersion(r, "a"), ms);
    const AppIdentity id = ReadAppIdentity(r, "a");
    QCOMPARE(QString::fromStdString(id.AppVersion), version);
    QCOMPARE(id.AppTitle, std::string("KESTRIX - Zentaro"));
}

// What has no block, no readable block or no translation fails with the
// system's error; the numeric version is then all bits set, without failing.
void TestVersionInfo::failures_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("no block") << "missing"
                              << "System Error.  Code: 2.\r\ntext for 2";
    QTest::newRow("read fails") << "read"
                                << "System Error.  Code: 5.\r\ntext for 5";
    QTest::newRow("no translation") << "no translation"
                                    << "A call to an OS function failed";
    QTest::newRow("translation cut inside its node") << "cut translation"
                                                     << "A call to an OS function failed";
    QTest::newRow("cut-off block") << "cut"
                                   << "A call to an OS function failed";
}

void TestVersionInfo::failures() {
    QFETCH(QString, kind);
    QFETCH(QString, message);
    MemoryVersionResource r;
    vb::Contents c = Kestrix();
    if (kind == "no translation")
        c.translations.clear();
    r.files["a"] = *vb::Build(c);
    if (kind == "missing")
        r.files.clear();
    if (kind == "read")
        r.failRead = true;
    if (kind == "cut translation") {
        // The Translation node ends the block: header, "Translation", padding, one
        // pair. Its node now ends two bytes into the pair.
        auto& block = r.files["a"];
        block[block.size() - 36] = 34;
    }
    if (kind == "cut")
        r.files["a"].resize(40);
    try {
        ReadExeVersionData(r, "a");
        QFAIL("no error");
    } catch (const OSError& e) {
        QCOMPARE(QString::fromStdString(e.what()), message);
    }
    if (kind != "no translation" && kind != "cut translation")
        QCOMPARE(ReadExeFileVersion(r, "a"), kNoFileVersion);
    QVERIFY_THROWS_EXCEPTION(OSError, ReadAppIdentity(r, "a"));
}

void TestVersionInfo::missingCompanyKeepsTheDash() {
    vb::Contents c = Kestrix();
    c.tables[0].strings.erase(c.tables[0].strings.begin()); // CompanyName
    MemoryVersionResource r;
    r.files["a"] = *vb::Build(c);
    const AppIdentity id = ReadAppIdentity(r, "a");
    QCOMPARE(id.AppCompanyName, std::string());
    QCOMPARE(id.AppTitle, std::string(" - Zentaro"));
}

// Through the real platform: a crafted block in a file, and files without one.
void TestVersionInfo::fromFileOnDisk() {
    QTemporaryDir dir;
    const std::string withBlock = dir.filePath("crafted").toStdString();
    QVERIFY(testing::WriteFile(
        withBlock, testing::MakeElfWithSection(".zentaro_version", *vb::Build(Kestrix(3u << 16)))));
    const auto resources = platform::CreateVersionResource();
    const AppIdentity id = ReadAppIdentity(*resources, withBlock);
    QCOMPARE(id.AppTitle, std::string("KESTRIX - Zentaro"));
    QCOMPARE(id.AppVersion, std::string("3.0"));

    // This test program has no block of its own.
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    try {
        ReadExeVersionData(*resources, self);
        QFAIL("no error");
    } catch (const OSError& e) {
        QCOMPARE(e.code(), ENODATA);
        QCOMPARE(QString::fromStdString(e.what()),
                 QString("System Error.  Code: %1.\r\n%2")
                     .arg(ENODATA)
                     .arg(QString::fromStdString(resources->ErrorText(ENODATA))));
    }
    QCOMPARE(ReadExeFileVersion(*resources, self), kNoFileVersion);
    QCOMPARE(FormatAppVersion(ReadExeFileVersion(*resources, self)), std::string("65535.65535"));
}

void TestVersionInfo::realExecutables_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("zentaro-cli") << ExePath("zentaro-cli");
    QTest::newRow("zentaro") << ExePath("zentaro");
}

void TestVersionInfo::realExecutables() {
    QFETCH(QString, path);
    QVERIFY2(QFileInfo::exists(path), qPrintable(path));
    const auto resources = platform::CreateVersionResource();
    const AppIdentity id = ReadAppIdentity(*resources, path.toStdString());
    QCOMPARE(id.AppTitle, std::string("KESTRIX - Zentaro"));
    QCOMPARE(id.AppVersion, std::string("1.0"));
    const TEXEVersionData d = ReadExeVersionData(*resources, path.toStdString());
    QCOMPARE(QString::fromStdString(d.OriginalFileName), QFileInfo(path).fileName());
    QCOMPARE(d.FileVersion, std::string("1.0.0.0"));
}

// A running program whose file is deleted, or replaced as by a package upgrade,
// still reads its identity from the image it runs from.
void TestVersionInfo::fileGoneWhileRunning_data() {
    QTest::addColumn<bool>("replaced");
    QTest::newRow("deleted") << false;
    QTest::newRow("replaced") << true;
}

void TestVersionInfo::fileGoneWhileRunning() {
    QFETCH(bool, replaced);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath("zentaro-probe");
    QVERIFY(QFile::copy(QStringLiteral(ZENTARO_IDENTITY_PROBE), copy));
    QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ExeOwner));

    QProcess probe;
    probe.start(copy, {});
    QVERIFY(probe.waitForStarted(30000));
    if (replaced) {
        const QString next = dir.filePath("zentaro-probe.new");
        QVERIFY(testing::WriteFile(next.toStdString(), {'n', 'e', 'w'}));
        QCOMPARE(
            std::rename(QFile::encodeName(next).constData(), QFile::encodeName(copy).constData()),
            0);
    } else {
        QVERIFY(QFile::remove(copy));
    }
    probe.write("go\n");
    probe.closeWriteChannel();
    QVERIFY(probe.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()),
             QString("KESTRIX - Zentaro\n1.0\nby name: error\n"));
    QCOMPARE(probe.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestVersionInfo)
#include "test_versioninfo.moc"
