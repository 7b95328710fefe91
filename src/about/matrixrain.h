#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zentaro::about {

struct RainColour {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const RainColour&, const RainColour&) = default;
};

// What one cell of the grid shows: nothing (black), or a character in a colour on
// black.
struct RainCell {
    char character = 0; // 0: dark
    RainColour colour;
    bool lit() const { return character != 0; }
    friend bool operator==(const RainCell&, const RainCell&) = default;
};

// One cell drawn anew, in grid coordinates, in drawing order.
struct RainCellChange {
    int column = 0;
    int row = 0;
    RainCell cell;
};

// One falling drop: its column, the row of its head, how many ticks it takes per
// row (1 to 3) and how bright it is (0 to 99).
struct TDrop {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t speed = 1;
    std::int32_t brightness = 0;
};

// The colours a drop of this brightness draws its head and the cell above it in:
// green, with a little red and blue, the trail at a third of the head's level.
RainColour HeadColour(int brightness);
RainColour TrailColour(int brightness);

// The row a drop with its head on row y blanks: 40 rows behind the head, counted
// cyclically over matrixHeight + 1 rows, so a passed cell stays lit that long.
int TailRow(int y, int matrixHeight);

// The character rain of the About window as a grid of cells, without any drawing:
// the window paints the changes it reports. Random numbers come from the caller,
// so a test can replay a rain exactly.
class MatrixRain {
public:
    static constexpr int kCharWidth = 8;
    static constexpr int kCharHeight = 12;
    static constexpr int kMaxDrops = 5000;

    // A whole number from 0 to bound - 1; bound is at least 1.
    using RandomBelow = std::function<int(int bound)>;

    // Without a random source, one seeded from the system.
    explicit MatrixRain(RandomBelow random = {});

    // The characters a drop is drawn with, each picked at random per drawing.
    void SetMatrixChars(std::string chars);

    // Takes the surface's size (kept from now on), clears the tick count and lays
    // out a new grid with fresh drops.
    void StartMatrix(int bitmapWidth, int bitmapHeight);
    // The grid of the size taken by StartMatrix, every cell dark, fresh drops.
    void InitMatrix();
    void ResetDrops();
    void AddDrop();
    // Draws every drop once and moves the ones whose turn it is.
    void MatrixTick();
    void DrawDrop(const TDrop& drop, char c);

    bool started() const { return started_; }
    int matrixWidth() const { return matrixWidth_; }
    int matrixHeight() const { return matrixHeight_; }
    int bitmapWidth() const { return bitmapWidth_; }
    int bitmapHeight() const { return bitmapHeight_; }
    std::uint32_t frameCount() const { return frameCount_; }
    const std::vector<TDrop>& drops() const { return drops_; }

    // Rows 0 to matrixHeight + 1: a head leaves the grid through the two rows below
    // it before it starts again at the top. Outside the grid: a dark cell.
    const RainCell& cell(int column, int row) const;
    // The cells drawn since the last call (or since InitMatrix), in drawing order.
    std::vector<RainCellChange> TakeChanges();

private:
    void Set(int column, int row, RainCell cell);
    int Random(int bound) const;

    RandomBelow random_;
    std::string chars_;
    bool started_ = false;
    int bitmapWidth_ = 0;
    int bitmapHeight_ = 0;
    int matrixWidth_ = 0;
    int matrixHeight_ = 0;
    std::uint32_t frameCount_ = 0;
    std::vector<TDrop> drops_;
    std::vector<RainCell> cells_; // row by row, matrixWidth cells each
    std::vector<RainCellChange> changes_;
};

// A rain's random numbers from a Mersenne twister with this seed: the same seed,
// the same rain, on every system.
MatrixRain::RandomBelow SeededRainRandom(std::uint32_t seed);

} // namespace zentaro::about
