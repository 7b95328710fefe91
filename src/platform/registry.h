#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace zentaro::platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

// A registry read of the wrong type, or another failed read of a value that exists.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One key opened for reading; destroying it closes the key.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    virtual bool ValueExists(const std::string& name) const = 0;
    // Throws RegistryError when the value is not a string (plain or expandable).
    virtual std::string ReadString(const std::string& name) const = 0;
    // Throws RegistryError when the value is not a 32-bit integer.
    virtual std::uint32_t ReadInteger(const std::string& name) const = 0;
};

// Read-only access to the system's registry of machine facts.
class Registry {
public:
    virtual ~Registry() = default;
    // Nothing when the key does not exist or cannot be read.
    virtual std::unique_ptr<RegistryKey> OpenKeyReadOnly(RegistryRoot root,
                                                         const std::string& path) = 0;
};

// The key that describes the first processor.
inline constexpr const char* kProcessorKeyPath =
    "\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

// The system's registry. systemRoot is where the system's own files are looked
// for ("/" on a live machine, a fixture folder in tests) on platforms that
// build the key from files. On Windows "/" is the real registry, and anything
// else a key under HKEY_CURRENT_USER that stands in for the roots (tests).
std::unique_ptr<Registry> CreateSystemRegistry(const std::string& systemRoot = "/");

} // namespace zentaro::platform
