#include "i18n/catalogue.h"
#include "support/oddfiles.h"
#include "support/userlanguage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>
#include <vector>

using zentaro::i18n::LanguageState;
using zentaro::platform::LanguageId;
using zentaro::testing::FixedUserLanguage;

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray Utf16(const QString& text, QStringConverter::Encoding encoding) {
    return QStringEncoder(encoding, QStringEncoder::Flag::WriteBom)(text);
}

// The lines of the lookup fixture: BOM, all three line ends, and the traps around
// "{key}" matching.
const QByteArray kLookupFile = "\xEF\xBB\xBF{Yes}Ja\r\n"
                               "{Send}\n"
                               "{Copy}Kopieren \r"
                               "{Copy}Zweite\r\n"
                               " {Help}Hilfe\n"
                               "{select All}alles\n"
                               "note without braces\n"
                               "{About %s}\xC3\x9C"
                               "ber %s\n"
                               "{A}B}C\n"
                               "{Last}Letzte";

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

private slots:
    void withoutFolderEverythingStaysEnglish();
    void listsLanguageFilesOnly();
    void choosesThroughCodeTable_data();
    void choosesThroughCodeTable();
    void loadsByName_data();
    void loadsByName();
    void unreadableFileStaysEnglish_data();
    void unreadableFileStaysEnglish();
    void specialFilesStayEnglish_data();
    void specialFilesStayEnglish();
    void sizeCap_data();
    void sizeCap();
    void lookup_data();
    void lookup();
    void translateTextIn_data();
    void translateTextIn();
    void processWideState();
    void lookupsFromManyThreads();
    void defaultFolderWithoutApplication();
};

void TestCatalogue::withoutFolderEverythingStaysEnglish() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    LanguageState state;
    state.Load(dir.filePath("Languages"), "German.lang.txt", FixedUserLanguage(1031));
    QCOMPARE(state.LanguagesFolder(), dir.filePath("Languages"));
    QVERIFY(state.LanguageFiles().isEmpty());
    QVERIFY(state.LanguageFilePath().isEmpty());
    QVERIFY(state.CurrentLanguageName().isEmpty());
    QCOMPARE(state.TranslateText("Yes"), QString("Yes"));
}

void TestCatalogue::listsLanguageFilesOnly() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString real = dir.filePath("real");
    QVERIFY(QDir().mkpath(real + "/Folder.lang.txt"));
    for (const char* name : {"German.lang.txt", "Xlang.txt", ".Hidden.lang.txt", "UPPER.LANG.TXT",
                             "notes.txt", "German.lang.txt.bak", "LanguageCodes.csv"})
        WriteFile(real + "/" + name, "{Yes}x\n");
    // The folder is reached through a link, which is followed.
    QVERIFY(QFile::link(real, dir.filePath("Languages")));

    LanguageState state;
    state.Load(dir.filePath("Languages"), {}, FixedUserLanguage(1033));
    QStringList files = state.LanguageFiles();
    files.sort();
    QCOMPARE(files,
             QStringList({".Hidden.lang.txt", "German.lang.txt", "UPPER.LANG.TXT", "Xlang.txt"}));
    QVERIFY(state.LanguageFilePath().isEmpty()); // no line for 1033: English
}

void TestCatalogue::choosesThroughCodeTable_data() {
    QTest::addColumn<QByteArray>("codeTable");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("languageId");
    QTest::addColumn<QString>("loadedFile");
    QTest::addColumn<QString>("languageName");

    const QStringList german{"German.lang.txt", "French.lang.txt"};
    QTest::newRow("exact line") << QByteArray("1036,French.lang.txt\n1031,German.lang.txt\n")
                                << german << 1031 << "German.lang.txt"
                                << "German";
    QTest::newRow("file name in other case")
        << QByteArray("1031,gERMAN.LANG.txt") << german << 1031 << "German.lang.txt"
        << "German";
    QTest::newRow("spaces and tabs around both fields")
        << QByteArray("  1031 \t,\t German.lang.txt  \r\n") << german << 1031 << "German.lang.txt"
        << "German";
    QTest::newRow("hexadecimal identifier never matches")
        << QByteArray("0x407,German.lang.txt\n407,German.lang.txt") << german << 1031 << ""
        << "";
    QTest::newRow("leading zero never matches")
        << QByteArray("01031,German.lang.txt") << german << 1031 << ""
        << "";
    QTest::newRow("first matching line counts even if its file is missing")
        << QByteArray("1031,Missing.lang.txt\n1031,German.lang.txt") << german << 1031 << ""
        << "";
    QTest::newRow("no fall-back from region to language")
        << QByteArray("1031,German.lang.txt\n7,German.lang.txt") << german << 3079 << ""
        << "";
    QTest::newRow("lines without comma and a header are passed over")
        << QByteArray("LANGID,File\n1031\n1031,German.lang.txt") << german << 1031
        << "German.lang.txt"
        << "German";
    QTest::newRow("split at the first comma only")
        << QByteArray("1031,German.lang.txt,French.lang.txt") << german << 1031 << ""
        << "";
    QTest::newRow("CR line ends") << QByteArray("1036,French.lang.txt\r1031,German.lang.txt\r")
                                  << german << 1031 << "German.lang.txt"
                                  << "German";
    QTest::newRow("UTF-8 byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                         "1031,German.lang.txt")
                                           << german << 1031 << "German.lang.txt"
                                           << "German";
    QTest::newRow("UTF-16 LE byte-order mark")
        << Utf16("1036,French.lang.txt\r\n1031,German.lang.txt\r\n", QStringConverter::Utf16LE)
        << german << 1031 << "German.lang.txt"
        << "German";
    QTest::newRow("UTF-16 BE byte-order mark")
        << Utf16("1031,German.lang.txt", QStringConverter::Utf16BE) << german << 1031
        << "German.lang.txt"
        << "German";
    QTest::newRow("no byte-order mark reads code page 1252")
        << QByteArray("1029,\x8A"
                      "e\x9Atina.lang.txt\n1036,Fran\xE7"
                      "ais.lang.txt")
        << QStringList{"Šeština.lang.txt", "Français.lang.txt"} << 1029 << "Šeština.lang.txt"
        << "Šeština";
    QTest::newRow("only A to Z are compared without case")
        << QByteArray("\xEF\xBB\xBF"
                      "1031,\xC3\x84rger.lang.txt")
        << QStringList{"ärger.lang.txt"} << 1031 << ""
        << "";
    QTest::newRow("name without .lang.txt gives no language name")
        << QByteArray("1031,Xlang.txt") << QStringList{"Xlang.txt"} << 1031 << "Xlang.txt"
        << "";
}

void TestCatalogue::choosesThroughCodeTable() {
    QFETCH(QByteArray, codeTable);
    QFETCH(QStringList, files);
    QFETCH(int, languageId);
    QFETCH(QString, loadedFile);
    QFETCH(QString, languageName);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteFile(dir.filePath("LanguageCodes.csv"), codeTable);
    for (const QString& name : files)
        WriteFile(dir.filePath(name), "{Yes}Ja (" + name.toUtf8() + ")\n");

    LanguageState state;
    state.Load(dir.path(), {}, FixedUserLanguage(static_cast<LanguageId>(languageId)));
    QCOMPARE(state.CurrentLanguageName(), languageName);
    if (loadedFile.isEmpty()) {
        QVERIFY(state.LanguageFilePath().isEmpty());
        QCOMPARE(state.TranslateText("Yes"), QString("Yes"));
    } else {
        QCOMPARE(state.LanguageFilePath(), dir.path() + "/" + loadedFile);
        QCOMPARE(state.TranslateText("Yes"), "Ja (" + loadedFile + ")");
    }
}

void TestCatalogue::loadsByName_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("loadedFile");
    QTest::addColumn<QString>("languageName");

    // The code table points the user's language at French throughout.
    QTest::newRow("named file, table not consulted") << "German.lang.txt"
                                                     << "German.lang.txt"
                                                     << "German";
    QTest::newRow("blank name chooses through the table") << " \t"
                                                          << "French.lang.txt"
                                                          << "French";
    QTest::newRow("name without .lang.txt") << "Xlang.txt"
                                            << "Xlang.txt"
                                            << "";
    QTest::newRow("missing file") << "Klingon.lang.txt"
                                  << ""
                                  << "";
    QTest::newRow("folder of that name") << "Folder.lang.txt"
                                         << ""
                                         << "";
    QTest::newRow("name leading out of the folder") << "../Outside.lang.txt"
                                                    << ""
                                                    << "";
}

void TestCatalogue::loadsByName() {
    QFETCH(QString, fileName);
    QFETCH(QString, loadedFile);
    QFETCH(QString, languageName);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath("Languages");
    QVERIFY(QDir().mkpath(folder + "/Folder.lang.txt"));
    WriteFile(folder + "/LanguageCodes.csv", "1031,French.lang.txt\n");
    for (const char* name : {"German.lang.txt", "French.lang.txt", "Xlang.txt"})
        WriteFile(folder + "/" + name, QByteArray("{Yes}from ") + name);
    WriteFile(dir.filePath("Outside.lang.txt"), "{Yes}outside");

    LanguageState state;
    state.Load(folder, fileName, FixedUserLanguage(1031));
    QCOMPARE(state.CurrentLanguageName(), languageName);
    QCOMPARE(state.TranslateText("Yes"), loadedFile.isEmpty() ? "Yes" : "from " + loadedFile);
    QCOMPARE(state.LanguageFilePath(),
             loadedFile.isEmpty() ? QString() : folder + "/" + loadedFile);
}

void TestCatalogue::unreadableFileStaysEnglish_data() {
    QTest::addColumn<bool>("throughLink");
    QTest::newRow("no read permission") << false;
    // A file that opens but whose reading fails, for users whom permissions do not stop.
    QTest::newRow("reading fails") << true;
}

void TestCatalogue::unreadableFileStaysEnglish() {
    QFETCH(bool, throughLink);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("German.lang.txt");
    if (throughLink) {
        if (!QFileInfo("/proc/self/mem").isFile())
            QSKIP("this system has no /proc/self/mem to stand for an unreadable file");
        QVERIFY(QFile::link("/proc/self/mem", path));
    } else {
        WriteFile(path, "{Yes}Ja\n");
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        if (QFile file(path); file.open(QIODevice::ReadOnly))
            QSKIP("file permissions do not stop this user (root?) from reading the file");
    }

    LanguageState state;
    state.Load(dir.path(), "German.lang.txt", FixedUserLanguage(1031));
    QCOMPARE(state.LanguageFiles(), QStringList{"German.lang.txt"});
    QVERIFY(state.LanguageFilePath().isEmpty());
    QVERIFY(state.CurrentLanguageName().isEmpty());
    QCOMPARE(state.TranslateText("Yes"), QString("Yes"));
}

// A code table or language file that is a FIFO, an endless device or a huge file
// is not read: the program starts at once, in English.
void TestCatalogue::specialFilesStayEnglish_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("kind");
    const QString table = "LanguageCodes.csv";
    const QString language = "German.lang.txt";
    QTest::newRow("code table FIFO") << table << "fifo";
    QTest::newRow("code table links to /dev/zero") << table << "device";
    QTest::newRow("code table of 100 MB") << table << "large";
    QTest::newRow("language file FIFO") << language << "fifo";
    QTest::newRow("language file links to /dev/zero") << language << "device";
    QTest::newRow("language file of 100 MB") << language << "large";
}

void TestCatalogue::specialFilesStayEnglish() {
    QFETCH(QString, file);
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // What each file would hold if it were read: this user's language is German.
    const QByteArray table = "1031,German.lang.txt\n";
    const QByteArray german = "{Yes}Ja\n";
    const QString special = dir.filePath(file);
    for (const auto& [name, bytes] : {std::pair{QString("LanguageCodes.csv"), table},
                                      std::pair{QString("German.lang.txt"), german}}) {
        if (name != file)
            WriteFile(dir.filePath(name), bytes);
    }
    if (kind == "fifo")
        QVERIFY(zentaro::testing::MakeFifo(special));
    else if (kind == "device")
        QVERIFY(zentaro::testing::MakeDeviceLink(special));
    else
        QVERIFY(zentaro::testing::MakeSparseFile(special, 100'000'000,
                                                 file.endsWith(".csv") ? table : german));

    LanguageState state;
    QVERIFY(zentaro::testing::FinishesInTime(
        [&] { state.Load(dir.path(), {}, FixedUserLanguage(1031)); }, {special}));
    QCOMPARE(state.LanguageFiles(), QStringList{"German.lang.txt"});
    QVERIFY(state.LanguageFilePath().isEmpty());
    QVERIFY(state.CurrentLanguageName().isEmpty());
    QCOMPARE(state.TranslateText("Yes"), QString("Yes"));
}

void TestCatalogue::sizeCap_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("yes");
    const auto cap = qint64(zentaro::i18n::kMaxLanguageFileBytes);
    QTest::newRow("at the cap") << cap << "Ja";
    QTest::newRow("one byte more") << cap + 1 << "Yes";
}

void TestCatalogue::sizeCap() {
    QFETCH(qint64, size);
    QFETCH(QString, yes);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(zentaro::testing::MakeSparseFile(dir.filePath("German.lang.txt"), size, "{Yes}Ja\n"));
    LanguageState state;
    state.Load(dir.path(), "German.lang.txt", FixedUserLanguage(1031));
    QCOMPARE(state.TranslateText("Yes"), yes);
}

void TestCatalogue::lookup_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("first line after the byte-order mark") << "Yes"
                                                          << "Ja";
    QTest::newRow("empty translation gives the key") << "Send"
                                                     << "Send";
    QTest::newRow("first entry wins, trailing space kept") << "Copy"
                                                           << "Kopieren ";
    QTest::newRow("space before the brace never matches") << "Help"
                                                          << "Help";
    QTest::newRow("keys are case-sensitive") << "Select All"
                                             << "Select All";
    QTest::newRow("placeholder kept") << "About %s"
                                      << "Über %s";
    QTest::newRow("translation starts after the first closing brace") << "A"
                                                                      << "B}C";
    QTest::newRow("last line without line end") << "Last"
                                                << "Letzte";
    QTest::newRow("prefix of a key is not the key") << "Ye"
                                                    << "Ye";
    QTest::newRow("text without entry") << "Unknown"
                                        << "Unknown";
    QTest::newRow("empty text") << ""
                                << "";
}

void TestCatalogue::lookup() {
    QFETCH(QString, text);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteFile(dir.filePath("German.lang.txt"), kLookupFile);
    LanguageState state;
    state.Load(dir.path(), "German.lang.txt", FixedUserLanguage(1031));
    QCOMPARE(state.CurrentLanguageName(), QString("German"));
    QCOMPARE(state.LanguageCatalogue().size(), 10);
    QCOMPARE(state.TranslateText(text), expected);
}

void TestCatalogue::translateTextIn_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("expected");

    const QStringList lines =
        zentaro::i18n::SplitLines(QString::fromUtf8(QByteArrayView(kLookupFile).sliced(3)));
    QTest::newRow("found") << "Yes" << lines << "Ja";
    QTest::newRow("empty translation stays empty") << "Send" << lines << "";
    QTest::newRow("first entry wins") << "Copy" << lines << "Kopieren ";
    QTest::newRow("missing gives the key") << "Unknown" << lines << "Unknown";
    QTest::newRow("no lines give the key")
        << "INFO:Translated By" << QStringList{} << "INFO:Translated By";
}

void TestCatalogue::translateTextIn() {
    QFETCH(QString, key);
    QFETCH(QStringList, lines);
    QFETCH(QString, expected);
    QCOMPARE(zentaro::i18n::TranslateTextIn(key, lines), expected);
}

void TestCatalogue::processWideState() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteFile(dir.filePath("LanguageCodes.csv"), "1055,Turkish.lang.txt\n");
    WriteFile(dir.filePath("Turkish.lang.txt"), "{Yes}Evet\n");

    namespace i18n = zentaro::i18n;
    i18n::LoadLanguage({}, dir.path(), FixedUserLanguage(1055));
    QCOMPARE(i18n::LanguagesFolder(), dir.path());
    QCOMPARE(i18n::LanguageFiles(), QStringList{"Turkish.lang.txt"});
    QCOMPARE(i18n::CurrentLanguageName(), QString("Turkish"));
    QCOMPARE(i18n::LanguageFilePath(), dir.filePath("Turkish.lang.txt"));
    QCOMPARE(i18n::TranslateText("Yes"), QString("Evet"));

    i18n::LoadLanguage({}, dir.filePath("none"), FixedUserLanguage(1055));
    QCOMPARE(i18n::TranslateText("Yes"), QString("Yes"));
}

void TestCatalogue::lookupsFromManyThreads() {
    // Loaded once, then only read: workers may translate at the same time.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteFile(dir.filePath("German.lang.txt"), kLookupFile);
    namespace i18n = zentaro::i18n;
    i18n::LoadLanguage("German.lang.txt", dir.path(), FixedUserLanguage(1031));

    std::atomic<int> wrong{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&wrong] {
            for (int i = 0; i < 500; ++i)
                if (i18n::TranslateText("Yes") != u"Ja" || i18n::TranslateText("Send") != u"Send")
                    ++wrong;
        });
    for (std::thread& worker : workers)
        worker.join();
    QCOMPARE(wrong.load(), 0);
}

// Start-up may ask for the folder before any application object exists; it is
// beside the executable all the same, and asking costs no warning.
void TestCatalogue::defaultFolderWithoutApplication() {
    QVERIFY(!QCoreApplication::instance()); // this test program makes none
    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { messages << text; });
    const QString folder = zentaro::i18n::DefaultLanguagesFolder();
    zentaro::i18n::LoadLanguage(QString());
    qInstallMessageHandler(previous);

    QCOMPARE(messages, QStringList());
    QCOMPARE(QFileInfo(folder).fileName(), QString("Languages"));
    QCOMPARE(QFileInfo(QFileInfo(folder).path()).canonicalFilePath(),
             QFileInfo(QStringLiteral(ZENTARO_BIN_DIR "/tests")).canonicalFilePath());
    QCOMPARE(zentaro::i18n::LanguagesFolder(), folder);
}

// No application object: the catalogue must do without one.
QTEST_APPLESS_MAIN(TestCatalogue)
#include "test_catalogue.moc"
