#include "app/outlinedlabel.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace zentaro::app {

OutlinedLabel::OutlinedLabel(QWidget* parent) : QLabel(parent) {}

QColor OutlinedLabel::ink() const {
    return palette().color(foregroundRole());
}

QColor OutlinedLabel::halo() const {
    return ink().lightnessF() < 0.5 ? QColor(Qt::white) : QColor(Qt::black);
}

// A fifth of the text's height, at least two pixels.
int OutlinedLabel::haloWidth() const {
    return std::max(2, fontMetrics().height() / 5);
}

QSize OutlinedLabel::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const int h = haloWidth();
    return QSize(metrics.horizontalAdvance(text()) + 2 * h, metrics.height() + 2 * h);
}

void OutlinedLabel::paintEvent(QPaintEvent* event) {
    Q_UNUSED(event);
    const QFontMetrics metrics = fontMetrics();
    const QRect box = contentsRect();
    const int x = box.left() + (box.width() - metrics.horizontalAdvance(text())) / 2;
    const int y = box.top() + (box.height() - metrics.height()) / 2 + metrics.ascent();
    QPainterPath glyphs;
    glyphs.addText(x, y, font(), text());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.strokePath(glyphs,
                       QPen(halo(), 2 * haloWidth(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(glyphs, ink());
}

} // namespace zentaro::app
