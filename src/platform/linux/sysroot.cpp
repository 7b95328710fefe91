#include "sysroot.h"

#include <fstream>
#include <sstream>

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

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return content.str();
}

} // namespace zentaro::platform::linux_impl
