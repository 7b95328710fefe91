#pragma once

#include <cstdint>
#include <string_view>

namespace zentaro {

// The rating scale ends here: a value of 3000 shows the whole gradient.
inline constexpr double kRatingScaleTop = 3000.0;

// Share of the rating bar covered in grey, 0..100, for a speed value.
int CoveredPercent(double hizDegeri);
// "Excellent" down to "Very Bad"; each threshold is a strict "greater than".
std::string_view RatingWord(double hizDegeri);

// Where the grey cover goes over the gradient: right-aligned, hiding the
// right-hand share. A width of 0 means no cover.
struct CoverGeometry {
    int width = 0;
    int left = 0;
};
CoverGeometry CoverFor(int coveredPercent, int panelWidth, int imageWidth);

// Round to nearest, ties to even.
double RoundHalfEven(double v);

// The rating gradient: red at the left edge, yellow in the middle, green at
// the right edge, one channel changing at a time along an S-shaped ramp.
struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};
inline constexpr int kGradientWidth = 500;
inline constexpr int kGradientHeight = 100;
inline constexpr Rgb kCoverColour{195, 195, 195};
Rgb GradientColour(int x, int width = kGradientWidth);

} // namespace zentaro
