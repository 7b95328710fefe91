#pragma once

#include "platform/registry.h"

#include <string>

namespace zentaro::platform::windows_impl {

// The system's registry, opened read-only (KEY_READ). With a stand-in, a key
// path under HKEY_CURRENT_USER such as "Software\Zentaro Tests\case", every
// root is read from below that key instead, so tests can lay out keys and
// values of any type without touching the machine's own.
class WindowsRegistry : public Registry {
public:
    explicit WindowsRegistry(std::string standIn = {}) : standIn_(std::move(standIn)) {}
    std::unique_ptr<RegistryKey> OpenKeyReadOnly(RegistryRoot root,
                                                 const std::string& path) override;

private:
    std::string standIn_;
};

// One plain string value (REG_SZ), read from the machine's 64-bit view of the
// registry whatever this program's own is. The text ends at its first zero
// character.
struct StringValue {
    enum class Status {
        Found,      // text holds it
        Missing,    // the key or the value does not exist
        NotAString, // the value has another type
        Failed,     // the key or the value exists but could not be read
    };
    Status status = Status::Missing;
    std::string text;
};
StringValue ReadStringValue(RegistryRoot root, const std::string& path, const std::string& name);

} // namespace zentaro::platform::windows_impl
