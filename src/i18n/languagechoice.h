#pragma once

#include "i18n/catalogue.h"

#include <QString>
#include <QStringList>
#include <string_view>

namespace zentaro::i18n {

// The entries of the language list: "English", which the list always holds, and the
// language of every file, sorted as a sorted list control sorts, without regard to
// letter case. Duplicates stay (a file English.lang.txt gives a second "English");
// of equal entries, the built-in "English" comes first, then the files in their order.
QStringList LanguageEntries(const QStringList& languageFiles);

// The name of the flag picture drawn beside an entry; "xx" for a language the table
// does not know. Entries are compared exactly, letter case included.
QString FlagPictureFor(const QString& entry);
// Every picture FlagPictureFor can name, "xx" first.
QStringList FlagPictureNames();

// The translators of the entry's language, as the language's file credits them:
// "Kestrix", the maker, for English; otherwise the "INFO:Translated By" entry of
// languagesFolder/<entry>.lang.txt, that key itself when the file has no such
// entry, and empty when the file cannot be read.
QString CreditFor(const QString& languagesFolder, const QString& entry);

// A credit as the credit box shows it: one name per line, split at each comma and
// trimmed of surrounding blanks. An empty credit has no lines.
QStringList CreditLines(const QString& credit);

// The maker's page for contributing translations.
QString TranslationPageAddress(std::string_view serverHost);

// --- The language the user chose, kept for the next start.

} // namespace zentaro::i18n
