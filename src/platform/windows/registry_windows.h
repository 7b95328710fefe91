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

} // namespace zentaro::platform::windows_impl
