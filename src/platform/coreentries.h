#pragma once

#include <cstddef>
#include <optional>

namespace zentaro::platform {

// The processor-core entries in a list of the entries Windows gives for how
// its logical processors are related: each entry begins with its relationship
// (a 32-bit number, 0 for a processor core) and its own size in bytes (32-bit),
// both little-endian, and the next entry follows it. Entries differ in size (a
// core's is smaller than a cache's), so the list is walked by each entry's own
// size. An entry whose size is too small to hold those two numbers, or runs
// past the end, ends the walk. Nothing when the list holds no core entry.
std::optional<unsigned> CountCoreEntries(const unsigned char* entries, std::size_t size);

} // namespace zentaro::platform
