#pragma once

namespace zentaro::assets {

// Makes the compiled-in Tahoma, regular and bold (":/fonts/tahoma.ttf",
// ":/fonts/tahomabd.ttf"), available to QFont as the family "Tahoma": the
// windows' fixed layouts were measured with its advances. Needs the
// QGuiApplication; registers once however often it is called, and returns
// whether both files were accepted.
bool RegisterTahoma();

} // namespace zentaro::assets
