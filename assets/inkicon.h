#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QString>

namespace zentaro::assets {

// A one-colour picture drawn in the text colour of the palette in use when it
// is drawn (highlighted text for a selected item, the disabled text colour for
// a disabled one), so that it stays visible under light and dark palettes
// alike. resource: an SVG whose ink is #3a3a3a or #000000.
QIcon InkIcon(const QString& resource);

// The colour an ink icon is drawn in, in a mode, from the application's palette.
QColor InkColour(QIcon::Mode mode);

// The contrast ratio of two colours as WCAG defines it: 1 (none) to 21.
double ContrastRatio(const QColor& a, const QColor& b);

// The palette's link colour, lightened or darkened as far as needed to be read
// on the palette's window colour (a ratio of at least 4.5).
QColor ReadableLinkColour(const QPalette& palette);

} // namespace zentaro::assets
