// libFuzzer target: arbitrary bytes as a version block and as an ELF file.
// Every value handed out must lie inside the input; the sanitizers catch any
// read beyond it.
#include "platform/linux/elfsection.h"
#include "platform/versionblock.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vb = zentaro::platform::versionblock;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so that a read one past the end is reported.
    const std::vector<std::uint8_t> input(data, data + size);
    static const char* const paths[] = {
        "\\",
        "\\VarFileInfo\\Translation\\",
        "\\StringFileInfo\\040904b0\\CompanyName",
        "\\StringFileInfo\\040904B0\\ProductName",
        "\\stringfileinfo",
        "\\A\\B\\C\\D",
    };
    for (const char* path : paths) {
        if (const auto v = vb::Query(input, path)) {
            if (!v->bytes.empty() && (v->bytes.data() < input.data() ||
                                      v->bytes.data() + v->bytes.size() > input.data() + size))
                std::abort();
            (void)vb::TextOf(*v);
        }
    }

    const auto section = zentaro::platform::linux_impl::FindElfSection(
        [&input](std::uint64_t offset, void* destination, std::size_t n) {
            if (offset > input.size() || n > input.size() - offset)
                return false;
            std::memcpy(destination, input.data() + offset, n);
            return true;
        },
        input.size(), ".zentaro_version");
    if (section && (section->offset > size || section->size > size - section->offset))
        std::abort();
    return 0;
}
