#pragma once

#include <QFont>

namespace zentaro::assets {

// Makes the compiled-in Tahoma (":/fonts/tahoma.ttf") available to QFont as
// the family "Tahoma", bold included (emboldened by Qt): the windows' fixed
// layouts were measured with its advances. Needs the QGuiApplication;
// registers once however often it is called, and returns whether the file was
// accepted.
bool RegisterTahoma();

// Tahoma at a size in pixels (character height), as the windows' layouts give it.
QFont Tahoma(int pixels, bool bold = false);

} // namespace zentaro::assets
