#include "about/matrixrain.h"

#include <algorithm>
#include <memory>
#include <random>

namespace zentaro::about {

namespace {

constexpr int kTailLength = 40;

RainColour ColourAt(int v) {
    return {v * 150 / 255, v, v * 100 / 255};
}

int HeadLevel(int brightness) {
    return brightness * 255 / 100;
}

const RainCell kDark{};

} // namespace

RainColour HeadColour(int brightness) {
    return ColourAt(HeadLevel(brightness));
}

RainColour TrailColour(int brightness) {
    return ColourAt(HeadLevel(brightness) / 3);
}

int TailRow(int y, int matrixHeight) {
    const int rows = matrixHeight + 1;
    int row = y - kTailLength;
    if (row < 0)
        row += ((-row + rows - 1) / rows) * rows;
    return row;
}

MatrixRain::MatrixRain(RandomBelow random)
    : random_(random ? std::move(random) : SeededRainRandom(std::random_device{}())),
      chars_("kex") {}

void MatrixRain::SetMatrixChars(std::string chars) {
    chars_ = std::move(chars);
}

int MatrixRain::Random(int bound) const {
    return bound <= 0 ? 0 : random_(bound);
}

void MatrixRain::StartMatrix(int bitmapWidth, int bitmapHeight) {
    frameCount_ = 0;
    bitmapWidth_ = bitmapWidth < 0 ? 0 : bitmapWidth;
    bitmapHeight_ = bitmapHeight < 0 ? 0 : bitmapHeight;
    started_ = true;
    InitMatrix();
}

void MatrixRain::InitMatrix() {
    matrixWidth_ = bitmapWidth_ / kCharWidth;
    matrixHeight_ = bitmapHeight_ / kCharHeight;
    cells_.assign(static_cast<std::size_t>(matrixWidth_) * (matrixHeight_ + 2), kDark);
    changes_.clear();
    ResetDrops();
}

void MatrixRain::ResetDrops() {
    drops_.clear();
    drops_.reserve(std::min(2 * matrixWidth_, kMaxDrops));
    for (int i = 0; i < 2 * matrixWidth_; ++i)
        AddDrop();
}

void MatrixRain::AddDrop() {
    if (static_cast<int>(drops_.size()) >= kMaxDrops || matrixWidth_ <= 0)
        return;
    TDrop drop;
    drop.x = static_cast<std::int32_t>(drops_.size() % matrixWidth_);
    drop.y = Random(matrixHeight_);
    drop.speed = 1 + Random(3);
    drop.brightness = Random(100);
    drops_.push_back(drop);
}

void MatrixRain::MatrixTick() {
    for (TDrop& drop : drops_) {
        const char c =
            chars_.empty() ? ' ' : chars_[static_cast<std::size_t>(Random(int(chars_.size())))];
        DrawDrop(drop, c);
        if (frameCount_ % static_cast<std::uint32_t>(drop.speed) == 0) {
            ++drop.y;
            if (drop.y > matrixHeight_ + 1) {
                drop.y = 0;
                drop.speed = 1 + Random(3);
                drop.brightness = Random(100);
            }
        }
    }
    ++frameCount_;
}

void MatrixRain::DrawDrop(const TDrop& drop, char c) {
    Set(drop.x, TailRow(drop.y, matrixHeight_), kDark);
    if (drop.y > 0)
        Set(drop.x, drop.y - 1, RainCell{c, TrailColour(drop.brightness)});
    Set(drop.x, drop.y, RainCell{c, HeadColour(drop.brightness)});
}

const RainCell& MatrixRain::cell(int column, int row) const {
    if (column < 0 || column >= matrixWidth_ || row < 0 || row > matrixHeight_ + 1)
        return kDark;
    return cells_[static_cast<std::size_t>(row) * matrixWidth_ + column];
}

void MatrixRain::Set(int column, int row, RainCell cell) {
    if (column < 0 || column >= matrixWidth_ || row < 0 || row > matrixHeight_ + 1)
        return;
    cells_[static_cast<std::size_t>(row) * matrixWidth_ + column] = cell;
    changes_.push_back({column, row, cell});
}

std::vector<RainCellChange> MatrixRain::TakeChanges() {
    std::vector<RainCellChange> taken;
    taken.swap(changes_);
    return taken;
}

MatrixRain::RandomBelow SeededRainRandom(std::uint32_t seed) {
    auto engine = std::make_shared<std::mt19937>(seed);
    // The engine's output is fixed by the standard; the distributions' are not, so
    // the reduction to a range is done here. Its bias is below 1 in 40 million for
    // the ranges the rain uses.
    return [engine](int bound) { return static_cast<int>((*engine)() % unsigned(bound)); };
}

} // namespace zentaro::about
