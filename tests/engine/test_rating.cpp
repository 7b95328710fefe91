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
    QVERIFY2(qAbs(int(c.red) - red) <= 2, qPrintable(QString::number(c.red)));
    QVERIFY2(qAbs(int(c.green) - green) <= 2, qPrintable(QString::number(c.green)));
    QCOMPARE(int(c.blue), 0);
    if (x == 0 || x == 250 || x == 499) {
        // The three anchors are exact.
        QCOMPARE(int(c.red), red);
        QCOMPARE(int(c.green), green);
    }
}

void TestRating::gradientIsMonotonic() {
    for (int x = 1; x < kGradientWidth; ++x) {
        const Rgb a = GradientColour(x - 1);
        const Rgb b = GradientColour(x);
        QVERIFY(b.green >= a.green);
        QVERIFY(b.red <= a.red);
    }
}

QTEST_GUILESS_MAIN(TestRating)
#include "test_rating.moc"
