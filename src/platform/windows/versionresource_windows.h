#pragma once

#include "platform/versionresource.h"

namespace zentaro::platform::windows_impl {

// The system's version API: GetFileVersionInfoSizeW, GetFileVersionInfoW and
// VerQueryValueW. A value the system finds is handed back as a view into the
// block: a binary value (the fixed information, the translations) with the
// length the system gives; a text up to the end of the block, since the text
// runs to its zero character whatever length is stored beside it.
class WindowsVersionResource : public VersionResource {
public:
    std::uint32_t BlockSize(const std::string& fileName, int& error) const override;
    bool ReadBlock(const std::string& fileName, std::span<std::uint8_t> buffer,
                   int& error) const override;
    std::optional<VersionValue> QueryValue(std::span<const std::uint8_t> block,
                                           const std::string& subBlock) const override;
    std::string ErrorText(int error) const override;
};

} // namespace zentaro::platform::windows_impl
