#pragma once

#include "platform/userlanguage.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <optional>

namespace zentaro::i18n {

// Language files and the code table are a few KiB; one larger than this is not read.
inline constexpr std::size_t kMaxLanguageFileBytes = std::size_t{4} * 1024 * 1024;

// One loaded interface language: which language files there are, which one was
// chosen, and its lines. Filled once by Load, read-only afterwards, so lookups from
// any thread need no lock.
class LanguageState {
public:
    // Looks in languagesFolder only. An empty (or blank) fileName chooses the file
    // through the folder's code table and the user's display language; a bare file
    // name loads that file directly. Nothing is reported: whatever cannot be found or
    // read leaves the state in English, and so does a file that is not a regular file
    // or is larger than kMaxLanguageFileBytes.
    void Load(const QString& languagesFolder, const QString& fileName,
              const platform::UserLanguage& user);

    // The translation of text in the loaded file, or text itself.
    QString TranslateText(const QString& text) const;

    const QString& LanguagesFolder() const { return languagesFolder_; }
    const QStringList& LanguageFiles() const { return languageFiles_; }
    const QString& LanguageFilePath() const { return languageFilePath_; }
    const QString& CurrentLanguageName() const { return currentLanguageName_; }
    const QStringList& LanguageCatalogue() const { return languageCatalogue_; }

private:
    QString languagesFolder_;
    QStringList languageFiles_;
    QString languageFilePath_;
    QString currentLanguageName_;
    QStringList languageCatalogue_;
};

// The lookup of one key in the lines of a language file, as the language window
// reads credits: unlike TranslateText, an empty translation gives an empty string.
QString TranslateTextIn(const QString& Key, const QStringList& Lines);

// Text without surrounding spaces and control characters (up to U+0020);
// other Unicode spaces, such as a no-break space, are part of the text.
QString TrimControl(QStringView text);

// The lines of a text, split at CR LF, LF or CR.
QStringList SplitLines(QStringView text);

// A language file's lines, UTF-8 with or without a byte-order mark; nothing
// when it is missing, no regular file or too large.
std::optional<QStringList> ReadLanguageLines(const QString& path);

// The ending of a language file's name.
inline constexpr char16_t kLanguageSuffix[] = u".lang.txt";

// The language a file is for: its name up to the first ".lang.txt"; empty when the
// name has none.
QString LanguageNameOf(const QString& fileName);

// --- The program's one language, set up once at start-up. ---

// The folder "Languages" of the running executable: beside it, or in the shared
// data folder of an installation (platform::ShippedPath); works without an
// application object. Empty when the executable's folder is unknown.
QString DefaultLanguagesFolder();

// Loads the process-wide language from DefaultLanguagesFolder() for the user's
// display language. Runs on the user-interface thread before other threads start.
void LoadLanguage(const QString& FileName);
// The same from a given folder and user: for tests and other embedders.
void LoadLanguage(const QString& FileName, const QString& languagesFolder,
                  const platform::UserLanguage& user);

QString TranslateText(const QString& Text);

const LanguageState& CurrentLanguage();
const QString& LanguagesFolder();
const QStringList& LanguageFiles();
const QString& LanguageFilePath();
const QString& CurrentLanguageName();

} // namespace zentaro::i18n
