// Prints the value each workload's loop stores for a table of operation
// counts, one "<workload>\t<count>\t<value>" line each. Built for Linux and
// for Windows: the two outputs must be the same, byte for byte.
#include "engine/workloads.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

using namespace zentaro;

int main() {
    // Tiny counts, the one the command line is checked with, counts on either
    // side of a chunk boundary of the loops, and one of a full test length.
    const std::uint64_t counts[] = {1,       2,       5,       999,     12345,   131072,   1048575,
                                    1048576, 1048577, 5242879, 5242880, 5242881, 100000000};
    for (WorkloadKind kind : kAllWorkloads) {
        for (std::uint64_t count : counts) {
            std::uint64_t result = 0;
            const std::string type(TestTypeValue(kind));
            if (!RunWorkload(type, count, result)) {
                std::printf("%s\t%" PRIu64 "\tnot run\n",
                            std::string(WorkloadDisplayName(kind)).c_str(), count);
                continue;
            }
            std::printf("%s\t%" PRIu64 "\t0x%016" PRIx64 "\n",
                        std::string(WorkloadDisplayName(kind)).c_str(), count, result);
        }
    }
    return 0;
}
