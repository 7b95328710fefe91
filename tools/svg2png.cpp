// Renders an SVG picture as a PNG of the given size: square for the icon
// theme's fixed sizes, WIDTHxHEIGHT for the pictures of a build without an SVG
// renderer. The build runs it (see assets/CMakeLists.txt). An OUTPUT ending in
// .bmp is a side picture for the Windows installer instead: the SVG kept in
// its proportions, three quarters of the width, centred on white, as a 24-bit
// BMP (the installer shows no transparency).
//
//   zentaro_svg2png INPUT.svg SIZE|WIDTHxHEIGHT OUTPUT.png|OUTPUT.bmp
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <string>

namespace {

// A whole number of pixels from 1 to 9999; 0 when the text is none.
int Pixels(const std::string& text) {
    if (text.empty() || text.size() > 4 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return std::stoi(text);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s INPUT.svg SIZE|WIDTHxHEIGHT OUTPUT.png|OUTPUT.bmp\n",
                     argv[0]);
        return 2;
    }
    const std::string sizeText = argv[2];
    const std::size_t by = sizeText.find('x');
    const int width = Pixels(sizeText.substr(0, by));
    const int height = by == std::string::npos ? width : Pixels(sizeText.substr(by + 1));
    if (width < 1 || height < 1) {
        std::fprintf(stderr, "%s: the size must be pixels from 1 to 9999, as N or WxH, not '%s'\n",
                     argv[0], argv[2]);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "%s: cannot read %s as SVG\n", argv[0], argv[1]);
        return 1;
    }
    const QString output = QString::fromLocal8Bit(argv[3]);
    const bool sidePicture = output.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive);
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(sidePicture ? QColor(Qt::white) : QColor(Qt::transparent));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        if (sidePicture) {
            QSizeF size = renderer.defaultSize();
            size.scale(width * 0.75, height * 0.75, Qt::KeepAspectRatio);
            renderer.render(
                &painter,
                QRectF(QPointF((width - size.width()) / 2, (height - size.height()) / 2), size));
        } else {
            renderer.render(&painter);
        }
    }
    // PNG with straight alpha, as it stores it (the writer would convert anyway).
    const bool saved = sidePicture
                           ? image.convertToFormat(QImage::Format_RGB888).save(output, "BMP")
                           : image.convertToFormat(QImage::Format_ARGB32).save(output, "PNG");
    if (!saved) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[3]);
        return 1;
    }
    return 0;
}
