#pragma once

#include "platform/versionresource.h"

#include <string>

namespace zentaro::platform::linux_impl {

// Executables carry their version block in this ELF section.
inline constexpr const char* kVersionSection = ".zentaro_version";

class LinuxVersionResource : public VersionResource {
public:
    std::uint32_t BlockSize(const std::string& fileName, int& error) const override;
    bool ReadBlock(const std::string& fileName, std::span<std::uint8_t> buffer,
                   int& error) const override;
    std::optional<VersionValue> QueryValue(std::span<const std::uint8_t> block,
                                           const std::string& subBlock) const override;
    std::string ErrorText(int error) const override;
};

} // namespace zentaro::platform::linux_impl
