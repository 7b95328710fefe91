// The pictures as SVG, drawn by Qt Svg at whatever size they are asked for.
#include "inkengine.h"
#include "inkicon.h"
#include "pictures.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

namespace zentaro::assets {

namespace {

class InkIconEngine final : public InkEngineBase {
public:
    explicit InkIconEngine(QByteArray svg) : svg_(std::move(svg)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        Q_UNUSED(state);
        QSvgRenderer renderer(Inked(InkColour(mode)));
        renderer.render(painter, rect);
    }

    QIconEngine* clone() const override { return new InkIconEngine(svg_); }

private:
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

} // namespace

QIcon InkIcon(const QString& resource) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return QIcon(resource);
    return QIcon(new InkIconEngine(file.readAll()));
}

QIcon PictureIcon(const QString& resource) {
    return QIcon(resource);
}

QPixmap PicturePixmap(const QString& resource, QSize size, qreal ratio, bool keepProportions) {
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    if (keepProportions)
        renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

} // namespace zentaro::assets
