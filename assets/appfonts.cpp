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

QFont Tahoma(int pixels, bool bold) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    // Full hinting snaps this face's thin stems to nothing at the windows'
    // 11 pixels on some renderers; vertical hinting keeps them crisp and whole.
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

} // namespace zentaro::assets
