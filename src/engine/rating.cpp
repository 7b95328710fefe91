#include "rating.h"

#include <algorithm>
#include <cmath>

namespace zentaro {

double RoundHalfEven(double v) {
    const double r = std::floor(v);
    const double diff = v - r;
    if (diff > 0.5)
        return r + 1.0;
    if (diff < 0.5)
        return r;
    return std::fmod(r, 2.0) == 0.0 ? r : r + 1.0;
}

int CoveredPercent(double hizDegeri) {
    // Multiply, divide, subtract, in that order, as the scale is defined.
    const double p = RoundHalfEven(100.0 - hizDegeri * 100.0 / kRatingScaleTop);
    if (!(p > 0.0)) // also catches nan
        return 0;
    if (p > 100.0)
        return 100;
    return static_cast<int>(p);
}

std::string_view RatingWord(double hizDegeri) {
    if (hizDegeri > 3000)
        return "Excellent";
    if (hizDegeri > 2500)
        return "Very Good";
    if (hizDegeri > 2000)
        return "Good";
    if (hizDegeri > 1500)
        return "Fair";
    if (hizDegeri > 1000)
        return "Bad";
    return "Very Bad";
}

CoverGeometry CoverFor(int coveredPercent, int panelWidth, int imageWidth) {
    if (coveredPercent <= 0)
        return {};
    const int width =
        static_cast<int>(RoundHalfEven(static_cast<double>(panelWidth * coveredPercent) / 100.0));
    return {width, imageWidth - width + 1};
}

namespace {

// A blend of a straight line and a smoothstep: gentle at both ends, with the
// midpoint of each half at half intensity.
double Ramp(double t) {
    t = std::clamp(t, 0.0, 1.0);
    const double smooth = t * t * (3.0 - 2.0 * t);
    return 0.47 * t + 0.53 * smooth;
}

std::uint8_t Channel(double share) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(share, 0.0, 1.0) * 255.0));
}

} // namespace

Rgb GradientColour(int x, int width) {
    if (width < 2)
        return {255, 0, 0};
    x = std::clamp(x, 0, width - 1);
    const int middle = width / 2;
    if (x <= middle) {
        // Red stays full while green rises.
        return {255, Channel(Ramp(static_cast<double>(x) / middle)), 0};
    }
    // Green stays full while red falls.
    const double t = static_cast<double>(x - middle) / (width - 1 - middle);
    return {Channel(1.0 - Ramp(t)), 255, 0};
}

} // namespace zentaro
