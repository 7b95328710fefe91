#include "inkicon.h"

#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <cmath>

namespace zentaro::assets {

namespace {

class InkIconEngine final : public QIconEngine {
public:
    explicit InkIconEngine(QByteArray svg) : svg_(std::move(svg)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        Q_UNUSED(state);
        QSvgRenderer renderer(Inked(Ink(mode)));
        renderer.render(painter, rect);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap pixmap(size * scale);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            paint(&painter, QRect(QPoint(0, 0), pixmap.size()), mode, state);
        }
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new InkIconEngine(svg_); }
    QString key() const override { return QStringLiteral("zentaro-ink"); }

private:
    static QColor Ink(QIcon::Mode mode) {
        const QPalette palette = QGuiApplication::palette();
        if (mode == QIcon::Disabled)
            return palette.color(QPalette::Disabled, QPalette::WindowText);
        if (mode == QIcon::Selected)
            return palette.color(QPalette::HighlightedText);
        return palette.color(QPalette::WindowText);
    }

    QByteArray Inked(const QColor& ink) const {
        QByteArray svg = svg_;
        const QByteArray name = ink.name(QColor::HexRgb).toLatin1();
        svg.replace("#3a3a3a", name).replace("#000000", name);
        if (ink.alpha() < 255) // drawn faded as a whole
            svg.replace("<svg", "<svg opacity=\"" + QByteArray::number(ink.alphaF(), 'f', 3) + '"');
        return svg;
    }

    QByteArray svg_;
};

// WCAG's relative luminance of one sRGB channel.
double Linear(double channel) {
    return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
    return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
}

} // namespace

QIcon InkIcon(const QString& resource) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return QIcon(resource);
    return QIcon(new InkIconEngine(file.readAll()));
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
