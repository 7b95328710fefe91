#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace zentaro::assets {

// The pictures shipped with the program, named by their SVG resource
// (":/icons/like.svg"). A build with Qt Svg draws the SVG at any size; one
// without draws the nearest of the sizes rendered at build time, so callers
// never name the form they are kept in.

// The picture as an icon, sharp at every device pixel ratio the build ships.
QIcon PictureIcon(const QString& resource);

// The picture drawn into a pixmap of size logical pixels at ratio device pixels
// each: stretched to fill it, or kept in its proportions and centred.
QPixmap PicturePixmap(const QString& resource, QSize size, qreal ratio, bool keepProportions);

} // namespace zentaro::assets
