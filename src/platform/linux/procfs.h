#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentaro::platform::linux_impl {

// Without blanks, tabs and line ends at either end.
std::string_view Trim(std::string_view s);

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

// A small regular file (a few KiB at most) holding one short text, such as a
// sysfs value, without the blanks and line end around it.
std::optional<std::string> ReadShortText(const std::string& path);

// The first line of a file, without its line end, read only as far as needed
// (/proc files grow with the machine). Nothing when unreadable, or when no
// line end comes within maxBytes.
std::optional<std::string> ReadFirstLine(const std::string& path, std::size_t maxBytes);

// The names in a folder, sorted; empty when it cannot be listed.
std::vector<std::string> FolderEntries(const std::string& folder);

// The numbers N of the entries "cpuN" in a folder such as
// /sys/devices/system/cpu, in increasing order.
std::vector<unsigned> ProcessorNumbers(const std::string& cpuFolder);

} // namespace zentaro::platform::linux_impl
