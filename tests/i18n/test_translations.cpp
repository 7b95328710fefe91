#include "i18n/catalogue.h"
#include "i18n/messagedlg.h"
#include "i18n/texts.h"
#include "platform/userlanguage.h"
#include "support/modaldriver.h"
#include "support/userlanguage.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <optional>

namespace i18n = zentaro::i18n;
using zentaro::testing::FixedUserLanguage;
using zentaro::testing::ModalDriver;

namespace {

const QString kLanguages = QStringLiteral(ZENTARO_LANGUAGES_DIR);
const QString kInfoKey = QStringLiteral("INFO:Translated By");

QStringList ShippedLanguageFiles() {
    return QDir(kLanguages).entryList({"*.lang.txt"}, QDir::Files, QDir::Name);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// printf-style conversions and "%%", in order: a translation must hand the caller the
// same arguments in the same order.
QStringList Placeholders(const QString& text) {
    static const QRegularExpression conversion(
        QStringLiteral("%%|%(?:\\d+[:$])?[-+#0]*(?:\\d+|\\*)?(?:\\.(?:\\d+|\\*))?[a-zA-Z]"));
    QStringList found;
    for (const auto& match : conversion.globalMatch(text))
        found << match.captured();
    return found;
}

// The entry's translation, or nothing when the file has no entry for key.
std::optional<QString> Entry(const QStringList& lines, const QString& key) {
    const QString probe = '{' + key + '}';
    for (const QString& line : lines)
        if (line.startsWith(probe))
            return line.sliced(line.indexOf(u'}') + 1);
    return std::nullopt;
}

bool IsText(std::string_view english) {
    return std::any_of(i18n::text::kAll.begin(), i18n::text::kAll.end(),
                       [&](const auto& entry) { return entry.english == english; });
}

} // namespace

// The shipped language files against the program's list of texts, and the shipped
// German file in a real confirmation.
class TestTranslations : public QObject {
    Q_OBJECT

private slots:
    void languageFilesAreShipped();
    void everyTextTranslated_data();
    void everyTextTranslated();
    void codeTableLeadsToShippedFiles();
    void buildCarriesLanguagesFolder();
    void germanConfirmation();
    void frenchMarksKeepTheirSpace();
};

void TestTranslations::languageFilesAreShipped() {
    QVERIFY2(!ShippedLanguageFiles().isEmpty(), qPrintable("no *.lang.txt in " + kLanguages));
    QVERIFY(i18n::text::kCount > 0);
}

void TestTranslations::everyTextTranslated_data() {
    QTest::addColumn<QString>("fileName");
    for (const QString& name : ShippedLanguageFiles())
        QTest::newRow(qPrintable(name)) << name;
}

void TestTranslations::everyTextTranslated() {
    QFETCH(QString, fileName);
    QByteArray bytes = ReadAll(kLanguages + '/' + fileName);
    QVERIFY2(!bytes.isEmpty(), "empty or unreadable");
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8(bytes);
    QVERIFY2(!utf8.hasError(), "not valid UTF-8");
    const QStringList lines = i18n::SplitLines(text);

    QStringList problems;
    for (const auto& [id, english] : i18n::text::kAll) {
        const QString key = QString::fromUtf8(english.data(), english.size());
        const auto translation = Entry(lines, key);
        if (!translation)
            problems << "missing: {" + key + "}";
        else if (translation->isEmpty())
            problems << "empty: {" + key + "}";
        else if (Placeholders(*translation) != Placeholders(key))
            problems << "placeholders differ: {" + key + "}" + *translation;
    }
    const auto credit = Entry(lines, kInfoKey);
    if (!credit || credit->trimmed().isEmpty())
        problems << "no translators' names in {" + kInfoKey + "}";
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));
}

void TestTranslations::codeTableLeadsToShippedFiles() {
    const QByteArray table = ReadAll(kLanguages + "/LanguageCodes.csv");
    QVERIFY2(!table.isEmpty(), "no LanguageCodes.csv");
    QVERIFY2(!table.startsWith("\xFF\xFE") && !table.startsWith("\xFE\xFF"),
             "this check reads the table as 8-bit text");

    QStringList reached;
    QList<int> seen;
    static const QRegularExpression decimal(QStringLiteral("^(0|[1-9][0-9]*)$"));
    for (const QString& line : i18n::SplitLines(QString::fromUtf8(table))) {
        const qsizetype comma = line.indexOf(u',');
        if (comma < 0)
            continue;
        const QString idText = line.left(comma).trimmed();
        const QString file = line.sliced(comma + 1).trimmed();
        QVERIFY2(decimal.match(idText).hasMatch() && idText.toInt() <= 0xFFFF,
                 qPrintable("not a decimal language identifier: " + line));
        const int id = idText.toInt();
        if (seen.contains(id))
            continue; // only the first line for an identifier counts
        seen << id;

        i18n::LanguageState state;
        state.Load(kLanguages, {}, FixedUserLanguage(static_cast<quint16>(id)));
        QVERIFY2(!state.LanguageFilePath().isEmpty(),
                 qPrintable("the line leads to no shipped file: " + line));
        reached << QFileInfo(state.LanguageFilePath()).fileName();
    }
    for (const QString& name : ShippedLanguageFiles())
        QVERIFY2(reached.contains(name), qPrintable("no identifier in the table leads to " + name));
}

void TestTranslations::buildCarriesLanguagesFolder() {
    const QString built = QStringLiteral(ZENTARO_BIN_DIR) + "/Languages";
    const QStringList sources = QDir(kLanguages)
                                    .entryList(QDir::Files | QDir::Hidden, QDir::Name)
                                    .filter(QRegularExpression("^(?!CMakeLists\\.txt$)"));
    QVERIFY(!sources.isEmpty());
    for (const QString& name : sources) {
        QVERIFY2(QFileInfo::exists(built + '/' + name), qPrintable(name + " not in " + built));
        QVERIFY2(ReadAll(built + '/' + name) == ReadAll(kLanguages + '/' + name),
                 qPrintable(name + " differs from the source"));
    }
    QVERIFY(!QFileInfo::exists(built + "/CMakeLists.txt"));
}

void TestTranslations::germanConfirmation() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char* name : {"German.lang.txt", "LanguageCodes.csv"})
        QVERIFY(QFile::copy(kLanguages + '/' + name, dir.filePath(name)));

    const std::optional<QByteArray> savedLanguage =
        qEnvironmentVariableIsSet("LANGUAGE") ? std::optional(qgetenv("LANGUAGE")) : std::nullopt;
    qputenv("LANGUAGE", "de");
    i18n::LoadLanguage({}, dir.path(), *zentaro::platform::CreateSystemUserLanguage());
    if (savedLanguage)
        qputenv("LANGUAGE", *savedLanguage);
    else
        qunsetenv("LANGUAGE");
    QCOMPARE(i18n::CurrentLanguageName(), QString("German"));

    // What the shipped file says, so that the check follows the file.
    const QStringList german =
        i18n::SplitLines(QString::fromUtf8(ReadAll(dir.filePath("German.lang.txt"))));
    for (const char* english : {"Yes", "No", "Confirmation", "Restart Application?"}) {
        QVERIFY2(IsText(english), english);
        QVERIFY2(i18n::TranslateTextIn(english, german) != english,
                 qPrintable(QString("German leaves \"%1\" in English").arg(english)));
    }

    QStringList captions;
    QString title;
    QString message;
    ModalDriver<QMessageBox> driver([&](QMessageBox* box) {
        title = box->windowTitle();
        message = box->text();
        for (const char* name : {"Yes", "No"})
            if (auto* button = box->findChild<QPushButton*>(name))
                captions << button->text();
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
    });
    const int answer = i18n::TranslatedMessageDlg(
        i18n::TranslateText("Restart Application?"), i18n::MsgDlgType::Confirmation,
        i18n::MsgDlgBtn::Yes | i18n::MsgDlgBtn::No,
        {i18n::TranslateText("Yes"), i18n::TranslateText("No")},
        i18n::TranslateText("Confirmation"));

    QVERIFY2(driver.ok(), driver.failure());
    QCOMPARE(answer, 6);
    QCOMPARE(captions, QStringList({i18n::TranslateTextIn("Yes", german),
                                    i18n::TranslateTextIn("No", german)}));
    QCOMPARE(title, i18n::TranslateTextIn("Confirmation", german));
    QCOMPARE(message, i18n::TranslateTextIn("Restart Application?", german));
}

// French sets a space before "?", "!" and ":"; a plain one lets the mark wrap onto a
// line of its own, so it is a no-break space.
void TestTranslations::frenchMarksKeepTheirSpace() {
    const QStringList lines =
        i18n::SplitLines(QString::fromUtf8(ReadAll(kLanguages + "/French.lang.txt")));
    QVERIFY(!lines.isEmpty());
    static const QRegularExpression plainSpaceBeforeMark(QStringLiteral(" [?!:;]"));
    qsizetype marks = 0;
    for (const QString& line : lines) {
        if (!line.startsWith(u'{'))
            continue;
        const QString translation = line.sliced(line.indexOf(u'}') + 1);
        QVERIFY2(!translation.contains(plainSpaceBeforeMark), qPrintable(line));
        marks += translation.count(QRegularExpression(QStringLiteral("\\x{00A0}[?!:;]")));
    }
    QVERIFY(marks > 0);
}

QTEST_MAIN(TestTranslations)
#include "test_translations.moc"
