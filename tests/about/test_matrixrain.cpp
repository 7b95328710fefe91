// The About window's character rain as a model: grid, drops, and the cells each
// tick lights and darkens, stepped with scripted or seeded random numbers.
#include "about/matrixrain.h"

#include <QTest>
#include <deque>
#include <memory>

using zentaro::about::HeadColour;
using zentaro::about::MatrixRain;
using zentaro::about::RainCell;
using zentaro::about::RainCellChange;
using zentaro::about::RainColour;
using zentaro::about::TailRow;
using zentaro::about::TrailColour;

Q_DECLARE_METATYPE(RainColour)

namespace {

// Hands out the given numbers in turn, then zeros; records a number that is out of
// the range asked for.
struct ScriptedRandom {
    std::shared_ptr<std::deque<int>> values = std::make_shared<std::deque<int>>();
    std::shared_ptr<bool> outOfRange = std::make_shared<bool>(false);

    MatrixRain::RandomBelow source() const {
        return [values = values, outOfRange = outOfRange](int bound) {
            if (values->empty())
                return 0;
            const int value = values->front();
            values->pop_front();
            if (value < 0 || value >= bound)
                *outOfRange = true;
            return value;
        };
    }
};

QString Describe(const RainCell& cell) {
    if (!cell.lit())
        return QStringLiteral("dark");
    return QStringLiteral("%1 (%2,%3,%4)")
        .arg(QLatin1Char(cell.character))
        .arg(cell.colour.red)
        .arg(cell.colour.green)
        .arg(cell.colour.blue);
}

// Column 0 of a one-column rain, top to bottom, the rows below the grid included.
QStringList Column(const MatrixRain& rain) {
    QStringList rows;
    for (int row = 0; row <= rain.matrixHeight() + 1; ++row)
        rows << Describe(rain.cell(0, row));
    return rows;
}

RainCell Lit(char c, RainColour colour) {
    return RainCell{c, colour};
}

} // namespace

class TestMatrixRain : public QObject {
    Q_OBJECT

private slots:
    void gridAndDrops_data();
    void gridAndDrops();
    void colours_data();
    void colours();
    void tailRow_data();
    void tailRow();
    void twoTicksOfTwoDrops();
    void dropStartsAgainAtTheTopWithoutATrail();
    void seededRainReplaysWithItsOwnLetters();
};

void TestMatrixRain::gridAndDrops_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("drops");
    QTest::newRow("About window") << 446 << 374 << 55 << 31 << 110;
    QTest::newRow("narrower than a cell: no drops") << 7 << 374 << 0 << 31 << 0;
    QTest::newRow("no size") << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("lower than a row: every drop on row 0") << 16 << 11 << 2 << 0 << 4;
    QTest::newRow("one cell") << 8 << 12 << 1 << 1 << 2;
    QTest::newRow("3000 columns: capped at 5000 drops") << 8 * 3000 << 120 << 3000 << 10 << 5000;
}

void TestMatrixRain::gridAndDrops() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, columns);
    QFETCH(int, rows);
    QFETCH(int, drops);

    MatrixRain rain(zentaro::about::SeededRainRandom(7));
    rain.StartMatrix(width, height);
    QCOMPARE(rain.matrixWidth(), columns);
    QCOMPARE(rain.matrixHeight(), rows);
    QCOMPARE(int(rain.drops().size()), drops);
    QCOMPARE(rain.frameCount(), 0u);
    // Two drops a column, the first round in columns 0, 1, 2, ..., then again.
    for (int i = 0; i < drops; ++i) {
        const auto& drop = rain.drops()[std::size_t(i)];
        QCOMPARE(drop.x, i % columns);
        QVERIFY(drop.y >= 0 && drop.y < std::max(rows, 1));
        QVERIFY(drop.speed >= 1 && drop.speed <= 3);
        QVERIFY(drop.brightness >= 0 && drop.brightness <= 99);
    }
    rain.AddDrop();
    QCOMPARE(int(rain.drops().size()), columns == 0 || drops == 5000 ? drops : drops + 1);

    // Ticking lights cells only inside the grid and its two rows below.
    rain.MatrixTick();
    QCOMPARE(rain.frameCount(), 1u);
    for (const RainCellChange& change : rain.TakeChanges()) {
        QVERIFY(change.column >= 0 && change.column < columns);
        QVERIFY(change.row >= 0 && change.row <= rows + 1);
    }
}

void TestMatrixRain::colours_data() {
    QTest::addColumn<int>("brightness");
    QTest::addColumn<RainColour>("head");
    QTest::addColumn<RainColour>("trail");
    QTest::newRow("0") << 0 << RainColour{0, 0, 0} << RainColour{0, 0, 0};
    QTest::newRow("1") << 1 << RainColour{1, 2, 0} << RainColour{0, 0, 0};
    QTest::newRow("50") << 50 << RainColour{74, 127, 49} << RainColour{24, 42, 16};
    QTest::newRow("99") << 99 << RainColour{148, 252, 98} << RainColour{49, 84, 32};
}

void TestMatrixRain::colours() {
    QFETCH(int, brightness);
    QFETCH(RainColour, head);
    QFETCH(RainColour, trail);
    QCOMPARE(HeadColour(brightness), head);
    QCOMPARE(TrailColour(brightness), trail);
}

void TestMatrixRain::tailRow_data() {
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("matrixHeight");
    QTest::addColumn<int>("row");
    QTest::newRow("40 rows behind") << 45 << 10 << 5;
    QTest::newRow("wrapped over 11 rows four times") << 5 << 10 << 9;
    QTest::newRow("one row behind the top") << 39 << 31 << 31;
    QTest::newRow("exactly 40") << 40 << 31 << 0;
    QTest::newRow("head below the grid") << 33 << 31 << 25;
    QTest::newRow("no rows") << 0 << 0 << 0;
}

void TestMatrixRain::tailRow() {
    QFETCH(int, y);
    QFETCH(int, matrixHeight);
    QFETCH(int, row);
    QCOMPARE(TailRow(y, matrixHeight), row);
}

// One column of 10 rows: a drop on row 5 at speed 1 and brightness 50, one on row 9
// at speed 2 and brightness 99. Each draws its letter as head and as the trail cell
// above it and blanks the cell 40 rows behind (cyclically over 11 rows); the later
// drop draws over the earlier one.
void TestMatrixRain::twoTicksOfTwoDrops() {
    ScriptedRandom script;
    // y, speed - 1, brightness for each drop; then the letters of each tick.
    *script.values = {5, 0, 50, 9, 1, 99, /* tick 0 */ 1, 2, /* tick 1 */ 0, 0};
    MatrixRain rain(script.source());
    rain.StartMatrix(8, 120);
    QCOMPARE(rain.drops().size(), std::size_t(2));
    QCOMPARE(rain.drops()[1].speed, 2);

    rain.MatrixTick();
    QCOMPARE(rain.drops()[0].y, 6);
    QCOMPARE(rain.drops()[1].y, 10); // frame 0: every speed moves
    rain.TakeChanges();

    rain.MatrixTick();
    QCOMPARE(rain.drops()[0].y, 7);
    QCOMPARE(rain.drops()[1].y, 10); // frame 1: speed 2 waits
    QCOMPARE(rain.frameCount(), 2u);
    QVERIFY(!*script.outOfRange);

    const RainColour head50{74, 127, 49}, trail50{24, 42, 16};
    const RainColour head99{148, 252, 98}, trail99{49, 84, 32};
    const QStringList expected{
        "dark",
        "dark",
        "dark",
        "dark",                      // blanked by the second drop in tick 1 (10 - 40 + 33)
        Describe(Lit('e', trail50)), // tick 0, still lit
        Describe(Lit('k', trail50)),
        Describe(Lit('k', head50)),
        "dark",
        Describe(Lit('x', trail99)), // tick 0
        Describe(Lit('k', trail99)),
        Describe(Lit('k', head99)), // over the first drop's blanking of row 10
        "dark",
    };
    QCOMPARE(Column(rain), expected);

    // What the window repaints after tick 1, in this order.
    QStringList changes;
    for (const RainCellChange& c : rain.TakeChanges())
        changes << QStringLiteral("%1:%2").arg(c.row).arg(Describe(c.cell));
    QCOMPARE(changes,
             QStringList({"10:dark", "5:" + Describe(Lit('k', trail50)),
                          "6:" + Describe(Lit('k', head50)), "3:dark",
                          "9:" + Describe(Lit('k', trail99)), "10:" + Describe(Lit('k', head99))}));
    QVERIFY(rain.TakeChanges().empty());
}

// A head that has passed the two rows below the grid starts again on row 0 with a
// new speed and brightness; on row 0 it draws no trail.
void TestMatrixRain::dropStartsAgainAtTheTopWithoutATrail() {
    ScriptedRandom script;
    *script.values = {1, 0, 10, 1, 0, 10, // two drops on row 1, speed 1
                      0, 0, 0,  0,        // ticks 0 and 1: down to row 3
                      0, 1, 80, 0, 0, 20, // tick 2: past row 3, both start again
                      1, 2};              // tick 3: "e" and "x"
    MatrixRain rain(script.source());
    rain.StartMatrix(8, 24); // two rows: heads go down to row 3
    for (int tick = 0; tick < 3; ++tick)
        rain.MatrixTick();
    QCOMPARE(rain.drops()[0].y, 0);
    QCOMPARE(rain.drops()[0].speed, 2);
    QCOMPARE(rain.drops()[0].brightness, 80);
    QCOMPARE(rain.drops()[1].speed, 1);
    QCOMPARE(rain.drops()[1].brightness, 20);
    rain.TakeChanges();

    rain.MatrixTick();
    QVERIFY(!*script.outOfRange);
    QStringList changes;
    for (const RainCellChange& c : rain.TakeChanges())
        changes << QStringLiteral("%1:%2").arg(c.row).arg(Describe(c.cell));
    const QString blanked = QStringLiteral("%1:dark").arg(TailRow(0, 2));
    QCOMPARE(changes, QStringList({blanked, "0:" + Describe(Lit('e', HeadColour(80))), blanked,
                                   "0:" + Describe(Lit('x', HeadColour(20)))}));
    QCOMPARE(rain.drops()[0].y, 0); // frame 3: speed 2 waits
    QCOMPARE(rain.drops()[1].y, 1);
}

// The same seed gives the same rain, drawn only with the letters it was given.
void TestMatrixRain::seededRainReplaysWithItsOwnLetters() {
    MatrixRain first(zentaro::about::SeededRainRandom(2025));
    MatrixRain second(zentaro::about::SeededRainRandom(2025));
    for (MatrixRain* rain : {&first, &second}) {
        rain->SetMatrixChars("kex");
        rain->StartMatrix(446, 374);
        for (int tick = 0; tick < 60; ++tick)
            rain->MatrixTick();
    }
    int lit = 0;
    for (int row = 0; row <= first.matrixHeight() + 1; ++row) {
        for (int column = 0; column < first.matrixWidth(); ++column) {
            const RainCell& cell = first.cell(column, row);
            QCOMPARE(cell, second.cell(column, row));
            if (!cell.lit())
                continue;
            ++lit;
            QVERIFY2(QByteArray("kex").contains(cell.character),
                     qPrintable(QString(QLatin1Char(cell.character))));
            QVERIFY(cell.colour.green >= cell.colour.red && cell.colour.red >= cell.colour.blue);
        }
    }
    QVERIFY(lit > first.matrixWidth());
}

QTEST_GUILESS_MAIN(TestMatrixRain)
#include "test_matrixrain.moc"
