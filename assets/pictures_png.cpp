// The pictures as PNGs, drawn from the SVGs at build time at the sizes the
// windows use (1x and 2x); any other size is scaled from the nearest larger one.
#include "inkengine.h"
#include "inkicon.h"
#include "pictures.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <vector>

namespace zentaro::assets {

namespace {

// ":/icons/like.svg" is kept as ":/png/icons/like/<W>x<H>.png".
std::vector<QImage> Images(const QString& resource) {
    QString name = resource;
    if (name.startsWith(QLatin1String(":/")))
        name.remove(0, 2);
    if (name.endsWith(QLatin1String(".svg")))
        name.chop(4);
    const QDir folder(QStringLiteral(":/png/") + name);
    std::vector<QImage> images;
    for (const QString& file : folder.entryList({QStringLiteral("*.png")}, QDir::Files)) {
        QImage image(folder.filePath(file));
        if (!image.isNull())
            images.push_back(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    std::sort(images.begin(), images.end(),
              [](const QImage& a, const QImage& b) { return a.width() < b.width(); });
    return images;
}

// The picture at pixels: from the smallest image at least that large (the
// largest when none is), scaled smoothly, centred when proportions are kept.
QImage Drawn(const std::vector<QImage>& images, QSize pixels, bool keepProportions) {
    QImage out(pixels, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    if (images.empty() || pixels.isEmpty())
        return out;
    const auto fits = std::find_if(images.begin(), images.end(), [&](const QImage& image) {
        return image.width() >= pixels.width() && image.height() >= pixels.height();
    });
    const QImage& source = fits != images.end() ? *fits : images.back();
    const QImage scaled =
        source.size() == pixels
            ? source
            : source.scaled(pixels, keepProportions ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio,
                            Qt::SmoothTransformation);
    QPainter painter(&out);
    painter.drawImage(
        QPoint((pixels.width() - scaled.width()) / 2, (pixels.height() - scaled.height()) / 2),
        scaled);
    return out;
}

class InkIconEngine final : public InkEngineBase {
public:
    explicit InkIconEngine(std::vector<QImage> images) : images_(std::move(images)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        Q_UNUSED(state);
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QImage image = Drawn(images_, rect.size() * ratio, true);
        {
            // The picture's coverage, filled with the ink.
            QPainter ink(&image);
            ink.setCompositionMode(QPainter::CompositionMode_SourceIn);
            ink.fillRect(image.rect(), InkColour(mode));
        }
        painter->drawImage(rect, image);
    }

    QIconEngine* clone() const override { return new InkIconEngine(images_); }

private:
    std::vector<QImage> images_;
};

} // namespace

QIcon InkIcon(const QString& resource) {
    std::vector<QImage> images = Images(resource);
    if (images.empty())
        return QIcon();
    return QIcon(new InkIconEngine(std::move(images)));
}

QIcon PictureIcon(const QString& resource) {
    QIcon icon;
    for (const QImage& image : Images(resource))
        icon.addPixmap(QPixmap::fromImage(image));
    return icon;
}

QPixmap PicturePixmap(const QString& resource, QSize size, qreal ratio, bool keepProportions) {
    QPixmap pixmap = QPixmap::fromImage(
        Drawn(Images(resource), (QSizeF(size) * ratio).toSize(), keepProportions));
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

} // namespace zentaro::assets
