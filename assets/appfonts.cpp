#include "appfonts.h"

#include <QFontDatabase>
#include <QString>

namespace zentaro::assets {

bool RegisterTahoma() {
    // Only the regular face: the bold file of the package this font comes
    // from has the regular outlines with bold advances, so bold text from it
    // looks thin and gapped ("ops/ sec"). Qt emboldens the regular face instead.
    static const bool registered =
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/tahoma.ttf")) >= 0;
    return registered;
}

} // namespace zentaro::assets
