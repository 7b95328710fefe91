#include "i18n/languagechoice.h"

#include "i18n/catalogue.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

namespace zentaro::i18n {

namespace {

const QString kEnglish = QStringLiteral("English");
const QString kCreditKey = QStringLiteral("INFO:Translated By");

struct FlagRow {
    const char16_t* entry;
    const char16_t* picture;
};

constexpr std::array<FlagRow, 33> kFlagTable{{
    {u"English", u"english"},
    {u"German", u"de"},
    {u"French", u"fr"},
    {u"Turkish", u"tr"},
    {u"Albanian", u"al"},
    {u"Arabic", u"sa"},
    {u"Bulgarian", u"bg"},
    {u"ChineseSimplified", u"cn"},
    {u"ChineseTraditional", u"tw"},
    {u"Czech", u"cz"},
    {u"Dutch", u"nl"},
    {u"Finnish", u"fi"},
    {u"Greek", u"gr"},
    {u"Hebrew", u"il"},
    {u"Hungarian", u"hu"},
    {u"Italian", u"it"},
    {u"Japanese", u"jp"},
    {u"Korean", u"kr"},
    {u"Persian", u"ir"},
    {u"Polish", u"pl"},
    {u"PortugueseBrazil", u"br"},
    {u"PortuguesePortugal", u"pt"},
    {u"Romanian", u"ro"},
    {u"Russian", u"ru"},
    {u"Slovenian", u"si"},
    {u"Spanish", u"es"},
    {u"Swedish", u"se"},
    {u"Ukrainian", u"ua"},
    {u"Vietnamese", u"vi"},
    {u"Slovak", u"sk"},
    {u"Abkhazian", u"ab"},
    {u"Norwegian", u"no"},
    {u"Catalan", u"ca"},
}};

} // namespace

QStringList LanguageEntries(const QStringList& languageFiles) {
    QStringList entries{kEnglish};
    for (const QString& file : languageFiles)
        entries << LanguageNameOf(file);
    std::stable_sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return entries;
}

QString FlagPictureFor(const QString& entry) {
    for (const FlagRow& row : kFlagTable)
        if (entry == QStringView(row.entry))
            return QString::fromUtf16(row.picture);
    return QStringLiteral("xx");
}

QStringList FlagPictureNames() {
    QStringList names{QStringLiteral("xx")};
    for (const FlagRow& row : kFlagTable)
        names << QString::fromUtf16(row.picture);
    return names;
}

QString CreditFor(const QString& languagesFolder, const QString& entry) {
    if (entry == kEnglish)
        return QStringLiteral("Kestrix");
    const auto lines =
        ReadLanguageLines(languagesFolder + u'/' + entry + QString::fromUtf16(kLanguageSuffix));
    return lines ? TranslateTextIn(kCreditKey, *lines) : QString();
}

QStringList CreditLines(const QString& credit) {
    if (credit.isEmpty())
        return {};
    QStringList lines;
    for (const QString& piece : credit.split(u','))
        lines << TrimControl(piece);
    return lines;
}

QString TranslationPageAddress(std::string_view serverHost) {
    return QStringLiteral("https://") + QString::fromUtf8(serverHost.data(), serverHost.size()) +
           QStringLiteral("/translation/");
}

} // namespace zentaro::i18n
