#include "share/report.h"

namespace zentaro::share {

namespace {

// The locale's long time pattern without its time-zone fields ("t"), which a
// report of the local time does not need. Quoted literal text is kept.
QString TimeWithoutZone(const QString& pattern) {
    QString out;
    bool quoted = false;
    for (const QChar c : pattern) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    return out.trimmed();
}

} // namespace

QString SuggestedFilePath(const QString& folder, const QString& product, const QDateTime& now) {
    QString name = product.trimmed().isEmpty() ? QStringLiteral("Zentaro") : product.trimmed();
    // The product comes from the version block: nothing in it may reach
    // another folder.
    for (const QChar c : {QChar(u'/'), QChar(u'\\'), QChar(u':')})
        name.replace(c, u'_');
    name += u' ' + now.date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".txt");
    return folder.isEmpty() ? name : folder + u'/' + name;
}

QString ReportDateTime(const QDateTime& now, const QLocale& locale) {
    QString date = locale.toString(now.date(), QLocale::ShortFormat);
    const QTime time = now.time();
    if (time == QTime(0, 0))
        return date;
    return date + u' ' +
           locale.toString(time, TimeWithoutZone(locale.timeFormat(QLocale::LongFormat)));
}

QStringList ReportLines(const ReportSource& s, const QString& dateTime) {
    return {
        s.appTitle + u' ' + s.appVersion,
        dateTime,
        QString(),
        QStringLiteral("CPU Name: ") + s.cpuName,
        QStringLiteral("Architecture: ") + s.architecture,
        QStringLiteral("Threads: ") + s.threads,
        QStringLiteral("Base Speed: ") + s.baseSpeed,
        QStringLiteral("Current Speed: ") + s.currentSpeed,
        QString(),
        QStringLiteral("Elapsed Time: ") + s.elapsed,
        QStringLiteral("Single-Core: ") + s.singleCore,
        QStringLiteral("Multi-Core: ") + s.multiCore,
    };
}

QString ReportText(const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

QByteArray SavedBytes(const QString& text) {
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(u'\r', u'\n');
    normalised.replace(QChar::ParagraphSeparator, u'\n');
    normalised.replace(QChar::LineSeparator, u'\n');
    normalised.replace(u'\n', QStringLiteral("\r\n"));
    return normalised.toUtf8(); // no byte-order mark
}

} // namespace zentaro::share
