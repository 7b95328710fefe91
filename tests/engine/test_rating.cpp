#include "engine/rating.h"

#include <QtTest>

using namespace zentaro;

class TestRating : public QObject {
    Q_OBJECT

private slots:
    void rating_data();
    void rating();
    void cover_data();
    void cover();
    void gradientSamples_data();
    void gradientSamples();
    void gradientIsMonotonic_data();
    void gradientIsMonotonic();
};

void TestRating::rating_data() {
    QTest::addColumn<double>("hiz");
    QTest::addColumn<int>("covered");
    QTest::addColumn<QString>("word");
    QTest::newRow("600: 40 Mops single-core") << 600.0 << 80 << "Very Bad";
    QTest::newRow("1000 is not above 1000") << 1000.0 << 67 << "Very Bad";
    QTest::newRow("1000.01") << 1000.01 << 67 << "Bad";
    QTest::newRow("1500") << 1500.0 << 50 << "Bad";
    QTest::newRow("1500.5") << 1500.5 << 50 << "Fair";
    QTest::newRow("2000.5") << 2000.5 << 33 << "Good";
    QTest::newRow("2985: 0.5 ties to 0") << 2985.0 << 0 << "Very Good";
    QTest::newRow("3000") << 3000.0 << 0 << "Very Good";
    QTest::newRow("3000.1") << 3000.1 << 0 << "Excellent";
    QTest::newRow("4500 clamps") << 4500.0 << 0 << "Excellent";
    QTest::newRow("15: 99.5 ties to 100") << 15.0 << 100 << "Very Bad";
    QTest::newRow("45: 98.5 ties to 98") << 45.0 << 98 << "Very Bad";
    QTest::newRow("0") << 0.0 << 100 << "Very Bad";
    QTest::newRow("negative clamps") << -300.0 << 100 << "Very Bad";
}

void TestRating::rating() {
    QFETCH(double, hiz);
    QFETCH(int, covered);
    QFETCH(QString, word);
    QCOMPARE(CoveredPercent(hiz), covered);
    QCOMPARE(QString::fromLatin1(RatingWord(hiz).data(), qsizetype(RatingWord(hiz).size())), word);
}

void TestRating::cover_data() {
    QTest::addColumn<int>("covered");
    QTest::addColumn<int>("panelWidth");
    QTest::addColumn<int>("imageWidth");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("left");
    QTest::newRow("nothing covered") << 0 << 800 << 798 << 0 << 0;
    QTest::newRow("80 percent") << 80 << 800 << 798 << 640 << 159;
    QTest::newRow("all covered") << 100 << 800 << 798 << 800 << -1;
    QTest::newRow("tie rounds to even down") << 50 << 25 << 23 << 12 << 12; // 12.5 -> 12
    QTest::newRow("tie rounds to even up") << 50 << 27 << 25 << 14 << 12;   // 13.5 -> 14
    QTest::newRow("67 of 500") << 67 << 500 << 498 << 335 << 164;
}

void TestRating::cover() {
    QFETCH(int, covered);
    QFETCH(int, panelWidth);
    QFETCH(int, imageWidth);
    QFETCH(int, width);
    QFETCH(int, left);
    const CoverGeometry g = CoverFor(covered, panelWidth, imageWidth);
    QCOMPARE(g.width, width);
    if (width > 0)
        QCOMPARE(g.left, left);
}

void TestRating::gradientSamples_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("red");
    QTest::addColumn<int>("green");
    const int samples[][3] = {{0, 255, 0},     {25, 255, 16},   {50, 255, 38},   {100, 255, 95},
                              {125, 255, 127}, {150, 255, 158}, {200, 255, 216}, {250, 255, 255},
                              {300, 216, 255}, {375, 127, 255}, {400, 94, 255},  {450, 37, 255},
                              {499, 0, 255}};
    for (const auto& s : samples)
        QTest::addRow("x=%d", s[0]) << s[0] << s[1] << s[2];
}

void TestRating::gradientSamples() {
    QFETCH(int, x);
    QFETCH(int, red);
    QFETCH(int, green);
    const Rgb c = GradientColour(x);
    QCOMPARE(int(c.red), red);
    QCOMPARE(int(c.green), green);
    QCOMPARE(int(c.blue), 0);
}

void TestRating::gradientIsMonotonic_data() {
    QTest::addColumn<int>("width");
    QTest::newRow("design size") << kGradientWidth;
    QTest::newRow("twice the design size") << 2 * kGradientWidth;
    QTest::newRow("odd and narrower") << 333;
    QTest::newRow("three columns") << 3;
}

// Green only rises up to the middle, red only falls after it, at any width the
// picture is drawn at; the three anchors stay exact.
void TestRating::gradientIsMonotonic() {
    QFETCH(int, width);
    const int middle = width / 2;
    for (int x = 1; x < width; ++x) {
        const Rgb a = GradientColour(x - 1, width);
        const Rgb b = GradientColour(x, width);
        QVERIFY2(b.green >= a.green && b.red <= a.red, qPrintable(QString::number(x)));
        QVERIFY(x <= middle ? b.red == 255 : b.green == 255);
        QCOMPARE(int(b.blue), 0);
    }
    const Rgb left = GradientColour(0, width), mid = GradientColour(middle, width),
              right = GradientColour(width - 1, width);
    QVERIFY(left.red == 255 && left.green == 0);
    QVERIFY(mid.red == 255 && mid.green == 255);
    QVERIFY(right.red == 0 && right.green == 255);
}

QTEST_GUILESS_MAIN(TestRating)
#include "test_rating.moc"
