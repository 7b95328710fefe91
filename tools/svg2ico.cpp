// Renders an SVG picture into a Windows icon file holding one PNG-compressed
// image per size (the form Windows reads since Vista), for the program's icon
// resource. The Windows build runs it on the build machine.
//
//   zentaro_svg2ico INPUT.svg OUTPUT.ico SIZE [SIZE...]    (sizes 1 to 256)
#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void PutU16(QByteArray& out, std::uint16_t v) {
    out.append(static_cast<char>(v & 0xff)).append(static_cast<char>(v >> 8));
}

void PutU32(QByteArray& out, std::uint32_t v) {
    PutU16(out, static_cast<std::uint16_t>(v & 0xffff));
    PutU16(out, static_cast<std::uint16_t>(v >> 16));
}

QByteArray Png(QSvgRenderer& renderer, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG");
    return png;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s INPUT.svg OUTPUT.ico SIZE [SIZE...]\n", argv[0]);
        return 2;
    }
    std::vector<int> sizes;
    for (int i = 3; i < argc; ++i) {
        const std::string text = argv[i];
        if (text.empty() || text.size() > 3 ||
            text.find_first_not_of("0123456789") != std::string::npos || std::stoi(text) < 1 ||
            std::stoi(text) > 256) {
            std::fprintf(stderr, "%s: a size is a number of pixels from 1 to 256, not '%s'\n",
                         argv[0], argv[i]);
            return 2;
        }
        sizes.push_back(std::stoi(text));
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "%s: cannot read %s as SVG\n", argv[0], argv[1]);
        return 1;
    }
    std::vector<QByteArray> images;
    for (const int size : sizes)
        images.push_back(Png(renderer, size));

    // ICONDIR, then one ICONDIRENTRY per image, then the images themselves.
    QByteArray ico;
    PutU16(ico, 0); // reserved
    PutU16(ico, 1); // an icon, not a cursor
    PutU16(ico, static_cast<std::uint16_t>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const char side = static_cast<char>(sizes[i] == 256 ? 0 : sizes[i]); // 0 means 256
        ico.append(side).append(side);
        ico.append('\0').append('\0'); // no palette, reserved
        PutU16(ico, 1);                // planes
        PutU16(ico, 32);               // bits per pixel
        PutU32(ico, static_cast<std::uint32_t>(images[i].size()));
        PutU32(ico, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const QByteArray& png : images)
        ico.append(png);

    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly) || out.write(ico) != ico.size()) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
