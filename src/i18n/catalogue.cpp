#include "i18n/catalogue.h"

#include "platform/files.h"
#include "platform/shippedfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <array>
#include <optional>

namespace zentaro::i18n {
namespace {

const QString kCodeTableName = QStringLiteral("LanguageCodes.csv");

// Lower-cases A to Z only, so that no other letter's case rules make two names equal.
QString AsciiLower(const QString& text) {
    QString lowered = text;
    for (QChar& c : lowered)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    return lowered;
}

// Bytes 0x80 to 0x9F of Windows code page 1252; the rest of it is Latin-1. The bytes
// that the code page leaves undefined keep their own value, as Windows does.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString FromCp1252(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text += (value >= 0x80 && value <= 0x9F) ? QChar(kCp1252High[value - 0x80]) : QChar(value);
    }
    return text;
}

// The code table's encoding is told by its byte-order mark. Without one it is 8-bit
// text in the ANSI code page of the system it was written on; Linux has no such code
// page, and 1252 is the one of the Western Windows systems such tables come from.
// The table holds digits, commas and ASCII file names in practice, so this choice
// only matters for unusual file names.
QString DecodeCodeTable(QByteArrayView bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.sliced(3));
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringConverter::Utf16LE)(bytes.sliced(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringConverter::Utf16BE)(bytes.sliced(2));
    return FromCp1252(bytes);
}

// Language files and the code table are read whole and only when they are regular
// files of sensible size: a FIFO, a device or a huge file in their place leaves the
// program in English instead of stalling or exhausting memory.
std::optional<std::string> ReadFile(const QString& path) {
    return platform::ReadRegularFile(path.toStdString(), kMaxLanguageFileBytes);
}

QByteArrayView View(const std::string& bytes) {
    return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The file name of the code table's first line for this identifier, or nothing.
QString WantedFileName(const QString& codeTablePath, platform::LanguageId id) {
    const auto bytes = ReadFile(codeTablePath);
    if (!bytes)
        return {}; // an unreadable table counts as an empty one
    const QString idText = QString::number(id);
    for (const QString& line : SplitLines(DecodeCodeTable(View(*bytes)))) {
        const qsizetype comma = line.indexOf(u',');
        if (comma < 0)
            continue;
        if (TrimControl(QStringView(line).left(comma)) == idText)
            return TrimControl(QStringView(line).sliced(comma + 1));
    }
    return {};
}

// A name handed in must stay inside the languages folder.
bool IsBareFileName(const QString& name) {
    return !name.contains(u'/') && !name.contains(u'\\') && name != u"." && name != u"..";
}

// The index of the line's text after "{key}", or -1 when the line is no entry for key.
qsizetype TranslationStart(const QString& line, const QString& key) {
    const qsizetype keyEnd = key.size() + 1;
    if (line.size() <= keyEnd || line[0] != u'{' || line[keyEnd] != u'}')
        return -1;
    if (QStringView(line).sliced(1, key.size()) != key)
        return -1;
    // The translation starts after the line's first "}", which is the one after the
    // key whenever the key itself has none.
    return line.indexOf(u'}') + 1;
}

} // namespace

// Surrounding spaces and control characters, nothing else: a no-break space or other
// Unicode space is part of the text.
QString TrimControl(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin).toString();
}

QStringList SplitLines(QStringView text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n')
            continue;
        lines.append(text.sliced(start, i - start).toString());
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    // A final line end closes the last line rather than opening an empty one.
    if (start < text.size())
        lines.append(text.sliced(start).toString());
    return lines;
}

void LanguageState::Load(const QString& languagesFolder, const QString& fileName,
                         const platform::UserLanguage& user) {
    *this = LanguageState();
    languagesFolder_ = languagesFolder;

    if (!QFileInfo(languagesFolder_).isDir())
        return;

    // Every kind of entry, hidden ones included, but no folders. The pattern matches
    // without regard to case, as it does on the file systems the code table is
    // written for.
    const QDir folder(languagesFolder_);
    languageFiles_ = folder.entryList({QStringLiteral("*lang.txt")},
                                      QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);

    QString chosen = fileName;
    if (TrimControl(chosen).isEmpty()) {
        chosen.clear();
        const QString codeTablePath = languagesFolder_ + u'/' + kCodeTableName;
        if (QFileInfo::exists(codeTablePath)) {
            const QString wanted =
                AsciiLower(WantedFileName(codeTablePath, user.DisplayLanguageId()));
            for (const QString& name : languageFiles_) {
                if (AsciiLower(name) == wanted) {
                    chosen = name;
                    break;
                }
            }
        }
    }
    if (chosen.isEmpty() || !IsBareFileName(chosen))
        return;

    // A file that is missing, is no regular file, or cannot be read leaves the program
    // in English, with no half-set state that would name a language never loaded.
    const QString path = languagesFolder_ + u'/' + chosen;
    auto lines = ReadLanguageLines(path);
    if (!lines)
        return;
    currentLanguageName_ = LanguageNameOf(chosen);
    languageFilePath_ = path;
    languageCatalogue_ = std::move(*lines);
}

std::optional<QStringList> ReadLanguageLines(const QString& path) {
    const auto bytes = ReadFile(path);
    if (!bytes)
        return std::nullopt;
    QByteArrayView content = View(*bytes);
    if (content.startsWith("\xEF\xBB\xBF"))
        content = content.sliced(3);
    return SplitLines(QString::fromUtf8(content));
}

QString LanguageNameOf(const QString& fileName) {
    const qsizetype suffix = fileName.indexOf(QStringView(kLanguageSuffix));
    return suffix < 0 ? QString() : fileName.left(suffix);
}

QString LanguageState::TranslateText(const QString& text) const {
    if (languageFilePath_.isEmpty())
        return text;
    // As the chooser's lookup, except that an empty translation keeps the English text.
    const QString translation = TranslateTextIn(text, languageCatalogue_);
    return translation.isEmpty() ? text : translation;
}

QString TranslateTextIn(const QString& Key, const QStringList& Lines) {
    for (const QString& line : Lines) {
        const qsizetype start = TranslationStart(line, Key);
        if (start >= 0)
            return line.sliced(start);
    }
    return Key;
}

namespace {
LanguageState& ProcessLanguage() {
    static LanguageState state;
    return state;
}
} // namespace

QString DefaultLanguagesFolder() {
    // From the platform, not the application object: the folder is needed before one
    // exists, and must not depend on it.
    const std::string folder = platform::ExecutableFolder();
    if (folder.empty())
        return {}; // unknown: no folder, so English
    return QString::fromStdString(
        platform::ShippedPath(folder, "Languages", platform::ShippedKind::Folder));
}

void LoadLanguage(const QString& FileName) {
    const auto user = platform::CreateSystemUserLanguage();
    LoadLanguage(FileName, DefaultLanguagesFolder(), *user);
}

void LoadLanguage(const QString& FileName, const QString& languagesFolder,
                  const platform::UserLanguage& user) {
    ProcessLanguage().Load(languagesFolder, FileName, user);
}

QString TranslateText(const QString& Text) {
    return ProcessLanguage().TranslateText(Text);
}

const LanguageState& CurrentLanguage() {
    return ProcessLanguage();
}
const QString& LanguagesFolder() {
    return ProcessLanguage().LanguagesFolder();
}
const QStringList& LanguageFiles() {
    return ProcessLanguage().LanguageFiles();
}
const QString& LanguageFilePath() {
    return ProcessLanguage().LanguageFilePath();
}
const QString& CurrentLanguageName() {
    return ProcessLanguage().CurrentLanguageName();
}

} // namespace zentaro::i18n
