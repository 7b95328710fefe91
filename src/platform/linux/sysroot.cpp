#include "sysroot.h"

namespace zentaro::platform::linux_impl {

std::string UnderRoot(const std::string& root, const std::string& absolutePath) {
    if (root.empty() || root == "/")
        return absolutePath;
    std::string base = root;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return absolutePath.empty() || absolutePath.front() != '/' ? base + "/" + absolutePath
                                                               : base + absolutePath;
}

} // namespace zentaro::platform::linux_impl
