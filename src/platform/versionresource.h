#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace zentaro::platform {

// A value found in a version block: a view into the block it was found in.
struct VersionValue {
    // From the value's start to the end of its node: all that the value can
    // occupy. Writers disagree on what the stored length counts (UTF-16 units
    // with or without the zero, bytes, or nothing at all), so a text is read up
    // to its zero character or the node's end. A node's children, if it has
    // any, follow the value within these bytes.
    std::span<const std::uint8_t> bytes;
    // The value length as stored: bytes for binary values, usually UTF-16
    // units for texts.
    std::uint16_t declaredLength = 0;
    bool text = false;
};

// The version block of an executable file, laid out as a Windows VS_VERSIONINFO
// resource on every platform.
class VersionResource {
public:
    virtual ~VersionResource() = default;

    // Size of the file's version block in bytes; 0 when the file has none or
    // cannot be read, with error set to the system's error code (0 for none).
    virtual std::uint32_t BlockSize(const std::string& fileName, int& error) const = 0;
    // Reads the block into buffer, which has the size BlockSize gave.
    virtual bool ReadBlock(const std::string& fileName, std::span<std::uint8_t> buffer,
                           int& error) const = 0;
    // A value by sub-block path: "\" (fixed file information),
    // "\VarFileInfo\Translation", "\StringFileInfo\<table>\<name>". Keys match
    // without regard to letter case. Nothing for a missing value or a block that
    // does not hold together.
    virtual std::optional<VersionValue> QueryValue(std::span<const std::uint8_t> block,
                                                   const std::string& subBlock) const = 0;
    // The system's text for an error code.
    virtual std::string ErrorText(int error) const = 0;
};

std::unique_ptr<VersionResource> CreateVersionResource();

// Full path of the running program's executable file; empty if unknown. Once
// the file has been deleted or replaced (a package upgrade), the path no longer
// leads to the program that runs.
std::string CurrentExecutablePath();

// A path that opens the running program's own image, valid in this process
// only: it still reaches the file the program was started from after that file
// has been deleted or replaced. For reading the program's own version block.
std::string RunningExecutableImage();

} // namespace zentaro::platform
