#pragma once

#include "platform/machineidentity.h"
#include "platform/registry.h"

#include <string>

namespace zentaro::platform::windows_impl {

// Where the system keeps the identifier it gives an installation: a GUID in
// text, such as "{1b4e28ba-2fa1-11d2-883f-0016d3cca427}", braces optional.
inline constexpr const char* kCryptographyKeyPath = "SOFTWARE\\Microsoft\\Cryptography";

// The "MachineGuid" value of the key at path (the 64-bit view), as its 32 hex
// digits in lower case. Tests point it at keys of their own.
MachineId ReadMachineGuid(RegistryRoot root, const std::string& path);

} // namespace zentaro::platform::windows_impl
