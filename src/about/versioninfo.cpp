#include "about/versioninfo.h"

#include "platform/versionblock.h"

#include <cstdio>
#include <vector>

namespace zentaro {

namespace {

[[noreturn]] void RaiseOSError(const platform::VersionResource& resources, int code) {
    throw OSError(code, SystemErrorMessage(code, code ? resources.ErrorText(code) : ""));
}

// The file's version block, or the system's error code.
std::vector<std::uint8_t> ReadBlock(const platform::VersionResource& resources,
                                    const std::string& fileName, int& error) {
    error = 0;
    const std::uint32_t size = resources.BlockSize(fileName, error);
    if (size == 0)
        return {};
    std::vector<std::uint8_t> block(size);
    if (!resources.ReadBlock(fileName, block, error))
        return {};
    return block;
}

} // namespace

std::string SystemErrorMessage(int code, const std::string& systemText) {
    if (code == 0)
        return "A call to an OS function failed";
    char head[64];
    std::snprintf(head, sizeof head, "System Error.  Code: %d.", code);
    return std::string(head) + "\r\n" + systemText;
}

TEXEVersionData ReadExeVersionData(const platform::VersionResource& resources,
                                   const std::string& fileName) {
    int error = 0;
    const std::vector<std::uint8_t> block = ReadBlock(resources, fileName, error);
    if (block.empty())
        RaiseOSError(resources, error);

    // Only the first pair counts: language, then code page. It is taken from the
    // value's first four bytes whatever type and length the writer stored, as
    // long as they lie inside the node.
    const auto translation = resources.QueryValue(block, "\\VarFileInfo\\Translation\\");
    if (!translation || translation->bytes.size() < 4)
        RaiseOSError(resources, 0); // a query sets no error code
    const std::uint32_t pair = platform::versionblock::ReadU32(translation->bytes, 0);
    char key[16];
    std::snprintf(key, sizeof key, "%.4x%.4x", pair & 0xFFFF, pair >> 16);

    TEXEVersionData data;
    const std::string table = std::string("\\StringFileInfo\\") + key + "\\";
    for (const auto& [name, field] : kVersionStringFields) {
        const auto value = resources.QueryValue(block, table + name);
        if (value)
            data.*field = platform::versionblock::TextOf(*value);
    }
    return data;
}

std::uint32_t ReadExeFileVersion(const platform::VersionResource& resources,
                                 const std::string& fileName) noexcept {
    try {
        int error = 0;
        const std::vector<std::uint8_t> block = ReadBlock(resources, fileName, error);
        if (block.empty())
            return kNoFileVersion;
        const auto fixed = resources.QueryValue(block, "\\");
        namespace vb = platform::versionblock;
        if (!fixed || fixed->bytes.size() < vb::kFixedInfoSize ||
            vb::ReadU32(fixed->bytes, 0) != vb::kFixedInfoSignature)
            return kNoFileVersion;
        return vb::ReadU32(fixed->bytes, 8); // dwFileVersionMS
    } catch (...) {
        return kNoFileVersion;
    }
}

std::string FormatAppVersion(std::uint32_t fileVersion) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d", static_cast<int>(fileVersion >> 16),
                  static_cast<int>(fileVersion & 0xFFFF));
    return text;
}

AppIdentity ReadAppIdentity(const platform::VersionResource& resources,
                            const std::string& exePath) {
    const TEXEVersionData data = ReadExeVersionData(resources, exePath);
    AppIdentity id;
    id.AppCompanyName = data.CompanyName;
    id.AppProductName = data.ProductName;
    id.AppVersion = FormatAppVersion(ReadExeFileVersion(resources, exePath));
    id.AppTitle = id.AppCompanyName + " - " + id.AppProductName;
    return id;
}

} // namespace zentaro
