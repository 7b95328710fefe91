#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zentaro::platform::linux_impl {

// The lines of the first processor in a /proc/cpuinfo, read only as far as
// needed: the kernel builds the file as it is read, so stopping early keeps the
// cost from growing with the number of processors. Nothing when unreadable.
std::optional<std::string> ReadFirstProcessorBlock(const std::string& cpuinfoPath);

// The value of "<field><blanks>: <value>" in a block, after the one space that
// follows the colon, kept as it stands.
std::optional<std::string> CpuinfoField(std::string_view block, std::string_view field);

// A decimal number such as "2599.998" rounded to the nearest integer, if it is
// one and fits in 32 bits.
std::optional<long long> RoundedDecimal(std::string_view text, long long max);

// The first processor's "cpu MHz" in a block, rounded, if it fits under max.
std::optional<long long> CpuinfoMhz(std::string_view block, long long max);

// A kHz figure from cpufreq in whole MHz, rounded, if it is not negative and
// fits under max.
std::optional<long long> KhzToMhz(long long khz, long long max);

// A small regular file (a few KiB at most) holding one whole number, such as a
// sysfs value. Nothing for anything else in its place.
std::optional<long long> ReadWholeNumber(const std::string& path);

} // namespace zentaro::platform::linux_impl
