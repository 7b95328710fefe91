#include "appfonts.h"

#include <QFontDatabase>
#include <QString>

namespace zentaro::assets {

bool RegisterTahoma() {
    static const bool registered = [] {
        const bool regular =
            QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/tahoma.ttf")) >= 0;
        const bool bold =
            QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/tahomabd.ttf")) >= 0;
        return regular && bold;
    }();
    return registered;
}

} // namespace zentaro::assets
