#pragma once

#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zentaro::platform {

// Reads up to the end of an opened file, in chunks, and never holds more than
// maxBytes + 1 bytes. readSome(destination, size, error) reads at most size
// bytes and gives how many it read, 0 at the end, or a negative number with the
// error (numbered as errno) set. sizeHint is what the system says the file
// holds: a file that says more than maxBytes is refused unread, but a smaller
// figure is only a hint, since some files report 0 or grow while read.
using ReadSome = std::function<long(char* destination, std::size_t size, int& error)>;
std::optional<std::string> ReadCapped(std::uint64_t sizeHint, std::size_t maxBytes,
                                      FileReadFailure& why, const ReadSome& readSome);

} // namespace zentaro::platform
