// The pictures and fonts compiled into zentaro_assets: reachable by their
// resource paths from a program that only links the library (nothing here
// initialises the resources by hand), drawable at the sizes the windows use,
// and Tahoma resolved to its regular file, bold included.
#include "appfonts.h"
#include "inkicon.h"
#include "pictures.h"
#include "support/palettes.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QStyle>
#include <QTest>

namespace {

// Pixels drawn at more than half cover.
int paintedPixels(const QImage& image) {
    int painted = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 128) {
                ++painted;
            }
        }
    }
    return painted;
}

} // namespace

class TestAssets : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void picturesDrawAtTheirSizes_data();
    void picturesDrawAtTheirSizes();
    void picturesCarryTheirOwnColour_data();
    void picturesCarryTheirOwnColour();
    void inkIconsTakeThePalettesTextColour_data();
    void inkIconsTakeThePalettesTextColour();
    void linkColourReadsOnTheWindow_data();
    void linkColourReadsOnTheWindow();
    void tahomaResolvesToItsOwnFiles_data();
    void tahomaResolvesToItsOwnFiles();
};

void TestAssets::picturesDrawAtTheirSizes_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    // Menu icons at 16, the share buttons at 24, the save button at 16; the
    // application icon at a small and a large size.
    const char* const menu[] = {"admin", "exit", "help", "flag", "feedback", "about", "save48"};
    for (const char* name : menu) {
        QTest::addRow("%s@16", name)
            << QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)) << 16;
    }
    const char* const share[] = {"share48", "x-logo", "facebook"};
    for (const char* name : share) {
        QTest::addRow("%s@24", name)
            << QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)) << 24;
    }
    // The notice's close picture at 16, the feedback window's choices at 32.
    QTest::newRow("close@16") << QStringLiteral(":/icons/close.svg") << 16;
    QTest::newRow("like@32") << QStringLiteral(":/icons/like.svg") << 32;
    QTest::newRow("dislike@32") << QStringLiteral(":/icons/dislike.svg") << 32;
    QTest::newRow("zentaro@16") << QStringLiteral(":/zentaro.svg") << 16;
    QTest::newRow("zentaro@48") << QStringLiteral(":/zentaro.svg") << 48;
}

void TestAssets::picturesDrawAtTheirSizes() {
    QFETCH(QString, path);
    QFETCH(int, size);

    // A picture that is missing, or parses but draws nothing (a path the
    // renderer skips, a stroke of colour "none"), is caught here, not in a blank
    // menu. The icons carry an invisible full-size frame path: coloured by
    // mistake, it would paint the whole square. In a build without Qt Svg the
    // same calls draw the PNGs made from the SVGs at build time.
    const QPixmap drawn = zentaro::assets::PicturePixmap(path, QSize(size, size), 1.0, true);
    QCOMPARE(drawn.size(), QSize(size, size));
    const int painted = paintedPixels(drawn.toImage());
    QVERIFY2(painted >= size, qPrintable(QStringLiteral("only %1 pixels drawn").arg(painted)));
    if (path != QLatin1String(":/zentaro.svg")) {
        QVERIFY2(painted < size * size / 2,
                 qPrintable(QStringLiteral("%1 pixels drawn").arg(painted)));
    }

    // The same picture as an icon, as the menus and buttons take it.
    const QIcon icon = zentaro::assets::PictureIcon(path);
    QVERIFY(!icon.isNull());
    const QPixmap pixmap = icon.pixmap(QSize(size, size));
    QCOMPARE(pixmap.size(), QSize(size, size));
    QVERIFY(paintedPixels(pixmap.toImage()) >= size);
}

void TestAssets::picturesCarryTheirOwnColour_data() {
    QTest::addColumn<QString>("path");
    const char* const all[] = {"admin", "exit",    "help",   "flag",     "feedback",
                               "about", "share48", "x-logo", "facebook", "save48",
                               "close", "like",    "dislike"};
    for (const char* name : all) {
        QTest::newRow(name) << QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
    }
}

void TestAssets::picturesCarryTheirOwnColour() {
    QFETCH(QString, path);
    // The SVG as the tree holds it: a build without Qt Svg compiles in its PNGs.
    QFile file(QStringLiteral(ZENTARO_TEST_DATA "/../../assets/") + path.mid(2));
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The renderer knows no surrounding text colour: a stroke or fill left as
    // currentColor comes out in whatever it falls back to, not the colour chosen.
    QVERIFY2(!file.readAll().contains("currentColor"), "colour left to the renderer");
}

void TestAssets::initTestCase() {
    QVERIFY(zentaro::assets::RegisterTahoma());
    QVERIFY(zentaro::assets::RegisterTahoma()); // a second call is harmless
}

void TestAssets::tahomaResolvesToItsOwnFiles_data() {
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QString>("file");
    QTest::newRow("regular") << false << QStringLiteral(":/fonts/tahoma.ttf");
    QTest::newRow("bold, emboldened from the regular face")
        << true << QStringLiteral(":/fonts/tahoma.ttf");
}

void TestAssets::tahomaResolvesToItsOwnFiles() {
    QFETCH(bool, bold);
    QFETCH(QString, file);

    QFile data(file);
    QVERIFY(data.open(QIODevice::ReadOnly));
    const QRawFont expected(data.readAll(), 16);
    QVERIFY(expected.isValid());
    QCOMPARE(expected.familyName(), QStringLiteral("Tahoma"));

    // The font a window gets for Tahoma must be this very file: a fallback
    // family has other advances than the ones the fixed layouts were measured
    // with. The "head" table carries each file's own checksum and dates.
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(16);
    font.setBold(bold);
    QCOMPARE(QFontInfo(font).family(), QStringLiteral("Tahoma"));
    const QRawFont resolved = QRawFont::fromFont(font);
    QVERIFY(resolved.isValid());
    QCOMPARE(resolved.fontTable("head"), expected.fontTable("head"));
    QCOMPARE(QFontInfo(font).bold(), bold);
}

void TestAssets::inkIconsTakeThePalettesTextColour_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("dark");
    for (const char* name : {"admin", "exit", "help", "flag", "feedback", "about", "share48",
                             "save48", "x-logo", "close", "copy"}) {
        const QString path = QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
        QTest::addRow("%s light", name) << path << false;
        QTest::addRow("%s dark", name) << path << true;
    }
}

// Every pixel drawn is the text colour of the palette in use when it is drawn
// (edges blend it with transparency only), and a selected item's is the
// highlighted text colour.
void TestAssets::inkIconsTakeThePalettesTextColour() {
    QFETCH(QString, path);
    QFETCH(bool, dark);
    const zentaro::testing::PaletteScope scope(dark ? zentaro::testing::DarkPalette()
                                                    : QApplication::style()->standardPalette());
    const QIcon icon = zentaro::assets::InkIcon(path);
    for (const auto& [mode, role] : {std::pair{QIcon::Normal, QPalette::WindowText},
                                     std::pair{QIcon::Selected, QPalette::HighlightedText}}) {
        const QColor ink = QApplication::palette().color(role);
        const QImage image =
            icon.pixmap(QSize(24, 24), mode).toImage().convertToFormat(QImage::Format_ARGB32);
        QVERIFY(paintedPixels(image) > 10);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() > 128)
                    QVERIFY2(std::abs(c.red() - ink.red()) + std::abs(c.green() - ink.green()) +
                                     std::abs(c.blue() - ink.blue()) <=
                                 6,
                             qPrintable(c.name() + " for " + ink.name()));
            }
    }
}

void TestAssets::linkColourReadsOnTheWindow_data() {
    QTest::addColumn<QColor>("window");
    QTest::addColumn<QColor>("link");
    QTest::addColumn<bool>("kept"); // already readable: unchanged
    QTest::newRow("blue on white") << QColor(Qt::white) << QColor(Qt::blue) << true;
    QTest::newRow("blue on button face") << QColor(0xf0, 0xf0, 0xf0) << QColor(Qt::blue) << true;
    QTest::newRow("blue on near-black") << QColor(0x2b, 0x2b, 0x2b) << QColor(Qt::blue) << false;
    QTest::newRow("dark blue on black") << QColor(Qt::black) << QColor(0, 0, 0x80) << false;
    QTest::newRow("light link on white") << QColor(Qt::white) << QColor(0xaa, 0xdd, 0xff) << false;
    QTest::newRow("theme's own light link on dark")
        << QColor(0x2b, 0x2b, 0x2b) << QColor(0x3d, 0xae, 0xe9) << true;
}

void TestAssets::linkColourReadsOnTheWindow() {
    QFETCH(QColor, window);
    QFETCH(QColor, link);
    QFETCH(bool, kept);
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::Link, link);
    const QColor chosen = zentaro::assets::ReadableLinkColour(palette);
    QVERIFY2(zentaro::assets::ContrastRatio(chosen, window) >= 4.5, qPrintable(chosen.name()));
    if (kept)
        QCOMPARE(chosen, link);
    else // still the link's hue: its blue stays its strongest channel
        QVERIFY2(chosen.blue() >= chosen.red() && chosen.blue() >= chosen.green(),
                 qPrintable(chosen.name()));
}

QTEST_MAIN(TestAssets)
#include "test_assets.moc"
