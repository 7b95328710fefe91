#pragma once

#include "platform/versionresource.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace zentaro {

// The strings of an executable's version block, each empty unless found.
struct TEXEVersionData {
    std::string CompanyName;
    std::string FileDescription;
    std::string FileVersion;
    std::string InternalName;
    std::string LegalCopyright;
    std::string LegalTrademarks;
    std::string OriginalFileName;
    std::string ProductName;
    std::string ProductVersion;
    std::string Comments;
    std::string PrivateBuild;
    std::string SpecialBuild;
};

// Each string's name in the resource, beside the member that holds it, in the
// order above.
inline constexpr std::pair<const char*, std::string TEXEVersionData::*> kVersionStringFields[] = {
    {"CompanyName", &TEXEVersionData::CompanyName},
    {"FileDescription", &TEXEVersionData::FileDescription},
    {"FileVersion", &TEXEVersionData::FileVersion},
    {"InternalName", &TEXEVersionData::InternalName},
    {"LegalCopyright", &TEXEVersionData::LegalCopyright},
    {"LegalTrademarks", &TEXEVersionData::LegalTrademarks},
    {"OriginalFileName", &TEXEVersionData::OriginalFileName},
    {"ProductName", &TEXEVersionData::ProductName},
    {"ProductVersion", &TEXEVersionData::ProductVersion},
    {"Comments", &TEXEVersionData::Comments},
    {"PrivateBuild", &TEXEVersionData::PrivateBuild},
    {"SpecialBuild", &TEXEVersionData::SpecialBuild},
};

// A failed system call, with the system's error code.
class OSError : public std::runtime_error {
public:
    OSError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// "System Error.  Code: <code>.\r\n<the system's text>", or "A call to an OS
// function failed" for code 0.
std::string SystemErrorMessage(int code, const std::string& systemText);

// Throws OSError when the file has no readable version block or no translation.
TEXEVersionData ReadExeVersionData(const platform::VersionResource& resources,
                                   const std::string& fileName);

inline constexpr std::uint32_t kNoFileVersion = 0xFFFFFFFF;

// The numeric file version: major in the high 16 bits, minor in the low.
// kNoFileVersion when the file has no readable version block. Never throws.
std::uint32_t ReadExeFileVersion(const platform::VersionResource& resources,
                                 const std::string& fileName) noexcept;

// "%d.%d" of major and minor.
std::string FormatAppVersion(std::uint32_t fileVersion);

// Who the program is, set once at start-up and only read afterwards.
struct AppIdentity {
    std::string AppCompanyName;
    std::string AppProductName;
    std::string AppTitle;   // company " - " product
    std::string AppVersion; // "1.0"
};

// Reads the identity of an executable in the start-up order: the strings, then
// the numeric version. Throws OSError as ReadExeVersionData does.
AppIdentity ReadAppIdentity(const platform::VersionResource& resources, const std::string& exePath);

} // namespace zentaro
