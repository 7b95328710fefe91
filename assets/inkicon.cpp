#include "inkicon.h"

#include <QGuiApplication>
#include <cmath>

namespace zentaro::assets {

namespace {

// WCAG's relative luminance of one sRGB channel.
double Linear(double channel) {
    return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
    return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
}

} // namespace

QColor InkColour(QIcon::Mode mode) {
    const QPalette palette = QGuiApplication::palette();
    if (mode == QIcon::Disabled)
        return palette.color(QPalette::Disabled, QPalette::WindowText);
    if (mode == QIcon::Selected)
        return palette.color(QPalette::HighlightedText);
    return palette.color(QPalette::WindowText);
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableLinkColour(const QPalette& palette) {
    const QColor background = palette.color(QPalette::Window);
    QColor link = palette.color(QPalette::Link);
    // Towards white on a dark window, towards black on a light one, keeping
    // the hue, in small steps until it reads.
    const QColor target = Luminance(background) < 0.18 ? QColor(Qt::white) : QColor(Qt::black);
    for (int step = 0; step < 20 && ContrastRatio(link, background) < 4.5; ++step) {
        link = QColor::fromRgbF(link.redF() + (target.redF() - link.redF()) * 0.15f,
                                link.greenF() + (target.greenF() - link.greenF()) * 0.15f,
                                link.blueF() + (target.blueF() - link.blueF()) * 0.15f);
    }
    return link;
}

} // namespace zentaro::assets
