#include "resulttext.h"

#include <charconv>
#include <system_error>

namespace zentaro {

std::string FixedText(double value, int digits, std::string_view decimalSeparator) {
    // to_chars rounds the exact binary value as printf("%.*f") does in the
    // C locale, without looking at any locale.
    char buffer[400]; // room for the largest double in fixed notation
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, digits);
    if (ec != std::errc())
        return {};
    std::string text(buffer, end);
    const auto point = text.find('.');
    if (point != std::string::npos)
        text.replace(point, 1, decimalSeparator);
    return text;
}

std::string ElapsedText(double seconds, std::string_view decimalSeparator) {
    return FixedText(seconds, 2, decimalSeparator) + " sec";
}

std::string SpeedText(double opsPerSecond, std::string_view decimalSeparator) {
    return FixedText(opsPerSecond / 1'000'000.0, 2, decimalSeparator) + " million ops/sec";
}

} // namespace zentaro
