#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace zentaro::share {

// What the export report reads off the main window, caption by caption.
struct ReportSource {
    QString appTitle;
    QString appVersion;
    QString cpuName;      // Label9
    QString architecture; // Label2
    QString threads;      // Label17
    QString baseSpeed;    // Label19
    QString currentSpeed; // Label20, shown or not
    QString elapsed;      // Label6
    QString singleCore;   // Label7
    QString multiCore;    // Label11
};

// The user's short date, a space and the long time (without a time zone); the
// time is left out at exactly midnight.
QString ReportDateTime(const QDateTime& now, const QLocale& locale);

// The report's twelve lines, in order.
QStringList ReportLines(const ReportSource& source, const QString& dateTime);

// The lines as the export window holds them: each ends in CR LF.
QString ReportText(const QStringList& lines);

// Where the save dialog proposes to put the report: "<product> <date>.txt" in
// folder, the date as year-month-day (no separator a file name cannot hold),
// "Zentaro" when the product is unknown. Just the name when folder is empty.
QString SuggestedFilePath(const QString& folder, const QString& product, const QDateTime& now);

// A text to save: its line breaks, whatever they were, become CR LF.
QByteArray SavedBytes(const QString& text);

} // namespace zentaro::share
