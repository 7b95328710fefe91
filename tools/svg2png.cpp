// Renders an SVG picture as a square PNG of the given size, for the icon
// theme's fixed sizes. The build runs it (see assets/CMakeLists.txt).
//
//   zentaro_svg2png INPUT.svg SIZE OUTPUT.png
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s INPUT.svg SIZE OUTPUT.png\n", argv[0]);
        return 2;
    }
    const std::string sizeText = argv[2];
    if (sizeText.empty() || sizeText.size() > 4 ||
        sizeText.find_first_not_of("0123456789") != std::string::npos) {
        std::fprintf(stderr, "%s: the size must be a number of pixels, not '%s'\n", argv[0],
                     argv[2]);
        return 2;
    }
    const int size = std::stoi(sizeText);
    if (size < 1) {
        std::fprintf(stderr, "%s: the size must be at least 1\n", argv[0]);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "%s: cannot read %s as SVG\n", argv[0], argv[1]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    // Straight alpha, as PNG stores it; the writer would convert anyway.
    if (!image.convertToFormat(QImage::Format_ARGB32)
             .save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[3]);
        return 1;
    }
    return 0;
}
