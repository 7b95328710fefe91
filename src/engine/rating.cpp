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

// The ramp of each half goes exactly through fixed sample columns of the
// 500-column picture (x, channel value) and, between them, along a monotone
// piecewise-cubic (Fritsch-Carlson) curve: smooth, S-shaped, never turning
// back.
struct Knot {
    double x;
    double y;
};

// Green rising over the left half, columns 0..250.
constexpr Knot kRising[] = {{0, 0},     {25, 16},   {50, 38},   {100, 95},
                            {125, 127}, {150, 158}, {200, 216}, {250, 255}};
// Red falling over the right half, columns 250..499.
constexpr Knot kFalling[] = {{250, 255}, {300, 216}, {375, 127}, {400, 94}, {450, 37}, {499, 0}};

template <std::size_t N> struct MonotoneCubic {
    Knot knots[N];
    double slopes[N]; // the curve's derivative at each knot

    explicit constexpr MonotoneCubic(const Knot (&k)[N]) : knots{}, slopes{} {
        double secant[N - 1] = {};
        for (std::size_t i = 0; i + 1 < N; ++i) {
            knots[i] = k[i];
            secant[i] = (k[i + 1].y - k[i].y) / (k[i + 1].x - k[i].x);
        }
        knots[N - 1] = k[N - 1];
        // Start from the slope of the parabola through each knot and its
        // neighbours; one-sided at the ends.
        slopes[0] = secant[0];
        slopes[N - 1] = secant[N - 2];
        for (std::size_t i = 1; i + 1 < N; ++i) {
            if (secant[i - 1] * secant[i] <= 0.0) {
                slopes[i] = 0.0; // a flat step or a turn: keep it flat
                continue;
            }
            const double before = k[i].x - k[i - 1].x;
            const double after = k[i + 1].x - k[i].x;
            slopes[i] = (after * secant[i - 1] + before * secant[i]) / (before + after);
        }
        // Limit the slopes where they would overshoot (Fritsch-Carlson).
        for (std::size_t i = 0; i + 1 < N; ++i) {
            if (secant[i] == 0.0) {
                slopes[i] = slopes[i + 1] = 0.0;
                continue;
            }
            const double a = slopes[i] / secant[i];
            const double b = slopes[i + 1] / secant[i];
            const double sum = a * a + b * b;
            if (sum > 9.0) {
                const double tau = 3.0 / Sqrt(sum);
                slopes[i] = tau * a * secant[i];
                slopes[i + 1] = tau * b * secant[i];
            }
        }
    }

    // Newton's iteration; constexpr so that the slopes are fixed at build time.
    static constexpr double Sqrt(double v) {
        double r = v;
        for (int i = 0; i < 64; ++i)
            r = 0.5 * (r + v / r);
        return r;
    }

    double operator()(double x) const {
        if (x <= knots[0].x)
            return knots[0].y;
        if (x >= knots[N - 1].x)
            return knots[N - 1].y;
        std::size_t i = 0;
        while (x >= knots[i + 1].x)
            ++i;
        const double h = knots[i + 1].x - knots[i].x;
        const double t = (x - knots[i].x) / h;
        const double t2 = t * t;
        const double t3 = t2 * t;
        // Cubic Hermite basis.
        const double h00 = 2 * t3 - 3 * t2 + 1;
        const double h10 = t3 - 2 * t2 + t;
        const double h01 = -2 * t3 + 3 * t2;
        const double h11 = t3 - t2;
        return h00 * knots[i].y + h10 * h * slopes[i] + h01 * knots[i + 1].y +
               h11 * h * slopes[i + 1];
    }
};

constexpr MonotoneCubic kGreenRise(kRising);
constexpr MonotoneCubic kRedFall(kFalling);

constexpr double kMiddleColumn = 250.0;
constexpr double kLastColumn = kGradientWidth - 1;

std::uint8_t Channel(double value) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 255.0)));
}

} // namespace

Rgb GradientColour(int x, int width) {
    if (width < 2)
        return {255, 0, 0};
    x = std::clamp(x, 0, width - 1);
    // Each half of a picture of any width maps onto the same half of the
    // 500-column design, so its sample columns land where they belong.
    const int middle = width / 2;
    if (x <= middle) {
        // Red stays full while green rises.
        const double column = middle == 0 ? 0.0 : x * kMiddleColumn / middle;
        return {255, Channel(kGreenRise(column)), 0};
    }
    // Green stays full while red falls.
    const double column =
        kMiddleColumn + (x - middle) * (kLastColumn - kMiddleColumn) / (width - 1 - middle);
    return {Channel(kRedFall(column)), 255, 0};
}

} // namespace zentaro
