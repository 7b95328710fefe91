#pragma once

#include <string>
#include <string_view>

namespace zentaro {

// value in fixed notation with `digits` digits after decimalSeparator, as
// "%.*f" gives it in the C locale, whatever the process's locale.
std::string FixedText(double value, int digits, std::string_view decimalSeparator);

// The result texts of a run, "%.2f sec" and "%.2f million ops/sec": two
// digits after the decimal separator, no thousands separators. They do not
// depend on any process-wide locale; the caller passes the separator of the
// locale it shows numbers in, as UTF-8 (some locales use more than one byte).
std::string ElapsedText(double seconds, std::string_view decimalSeparator);
// opsPerSecond is the run's score; the text shows it in millions.
std::string SpeedText(double opsPerSecond, std::string_view decimalSeparator);

} // namespace zentaro
