#include "resulttext.h"

#include <charconv>
#include <system_error>

namespace zentaro {

namespace {

// "%.2f" with the given decimal separator.
std::string Fixed2(double value, std::string_view decimalSeparator) {
    // to_chars rounds the exact binary value as printf("%.2f") does in the
    // C locale, without looking at any locale.
    char buffer[400]; // room for the largest double in fixed notation
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    if (ec != std::errc())
        return {};
    std::string text(buffer, end);
    const auto point = text.find('.');
    if (point != std::string::npos)
        text.replace(point, 1, decimalSeparator);
    return text;
}

} // namespace

std::string ElapsedText(double seconds, std::string_view decimalSeparator) {
    return Fixed2(seconds, decimalSeparator) + " sec";
}

std::string SpeedText(double opsPerSecond, std::string_view decimalSeparator) {
    return Fixed2(opsPerSecond / 1'000'000.0, decimalSeparator) + " million ops/sec";
}

} // namespace zentaro
