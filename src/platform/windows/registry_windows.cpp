#include "registry_windows.h"

#include "text_windows.h"

#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>
#include <windows.h>

namespace zentaro::platform {

std::unique_ptr<Registry> CreateSystemRegistry(const std::string& systemRoot) {
    // "/" is the live machine, as on every system; anything else is a stand-in.
    return std::make_unique<windows_impl::WindowsRegistry>(
        systemRoot.empty() || systemRoot == "/" ? std::string() : systemRoot);
}

namespace windows_impl {

namespace {

[[noreturn]] void WrongType(const std::string& name) {
    throw RegistryError("Invalid data type for '" + name + "'");
}

[[noreturn]] void NoData(const std::string& name, LSTATUS status) {
    throw RegistryError("Failed to get data for '" + name +
                        "': " + SystemErrorText(static_cast<unsigned long>(status)));
}

// One string value of an open key, with the system's answer that ended the
// read. The text is read whole even when the value grows between the size
// query and the read, and ends at its first zero character; an expandable
// string counts as a string only when `expandable`, and is not expanded.
struct QueriedString {
    StringValue value;
    LSTATUS status = ERROR_SUCCESS;
};

QueriedString QueryString(HKEY key, const std::wstring& name, bool expandable) {
    using Status = StringValue::Status;
    const auto failure = [](LSTATUS status) {
        return QueriedString{
            {status == ERROR_FILE_NOT_FOUND ? Status::Missing : Status::Failed, {}}, status};
    };
    const auto isString = [expandable](DWORD type) {
        return type == REG_SZ || (expandable && type == REG_EXPAND_SZ);
    };
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        LSTATUS status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS)
            return failure(status);
        if (!isString(type))
            return {{Status::NotAString, {}}, status};
        std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = size;
        status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(text.data()), &got);
        if (status == ERROR_MORE_DATA)
            continue; // it grew in between: ask again
        if (status != ERROR_SUCCESS)
            return failure(status);
        if (!isString(type))
            return {{Status::NotAString, {}}, status};
        std::wstring_view stored(text.data(), got / sizeof(wchar_t));
        if (const auto zero = stored.find(L'\0'); zero != std::wstring_view::npos)
            stored = stored.substr(0, zero);
        return {{Status::Found, Utf8(stored)}, status};
    }
    return failure(ERROR_MORE_DATA);
}

// A leading backslash marks a path as absolute; the system wants none.
std::string RelativePath(const std::string& path) {
    const std::size_t start = path.find_first_not_of('\\');
    return start == std::string::npos ? std::string() : path.substr(start);
}

class WindowsRegistryKey final : public RegistryKey {
public:
    explicit WindowsRegistryKey(HKEY key) : key_(key) {}
    ~WindowsRegistryKey() override { ::RegCloseKey(key_); }
    WindowsRegistryKey(const WindowsRegistryKey&) = delete;
    WindowsRegistryKey& operator=(const WindowsRegistryKey&) = delete;

    bool ValueExists(const std::string& name) const override {
        const std::wstring wide = Wide(name);
        return ::RegQueryValueExW(key_, wide.c_str(), nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
    }

    // The text as stored, up to its first zero character; an expandable
    // string is not expanded.
    std::string ReadString(const std::string& name) const override {
        QueriedString read = QueryString(key_, Wide(name), true);
        switch (read.value.status) {
        case StringValue::Status::Found:
            return std::move(read.value.text);
        case StringValue::Status::NotAString:
            WrongType(name);
        case StringValue::Status::Missing:
        case StringValue::Status::Failed:
            break;
        }
        NoData(name, read.status);
    }

    std::uint32_t ReadInteger(const std::string& name) const override {
        const std::wstring wide = Wide(name);
        DWORD type = 0;
        // Room for more than four bytes, so that a longer value is seen as such.
        BYTE data[8] = {};
        DWORD size = sizeof data;
        const LSTATUS status = ::RegQueryValueExW(key_, wide.c_str(), nullptr, &type, data, &size);
        if (status == ERROR_MORE_DATA)
            WrongType(name);
        if (status != ERROR_SUCCESS)
            NoData(name, status);
        if (type != REG_DWORD || size != 4)
            WrongType(name);
        return static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
               static_cast<std::uint32_t>(data[2]) << 16 |
               static_cast<std::uint32_t>(data[3]) << 24;
    }

private:
    HKEY key_;
};

} // namespace

std::unique_ptr<RegistryKey> WindowsRegistry::OpenKeyReadOnly(RegistryRoot root,
                                                              const std::string& path) {
    std::string relative = RelativePath(path);
    HKEY base = root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    if (!standIn_.empty()) {
        base = HKEY_CURRENT_USER;
        relative = relative.empty() ? standIn_ : standIn_ + "\\" + relative;
    }
    HKEY key = nullptr;
    if (::RegOpenKeyExW(base, Wide(relative).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<WindowsRegistryKey>(key);
}

StringValue ReadStringValue(RegistryRoot root, const std::string& path, const std::string& name) {
    using Status = StringValue::Status;
    HKEY key = nullptr;
    const LSTATUS opened = ::RegOpenKeyExW(
        root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
        Wide(RelativePath(path)).c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key);
    if (opened != ERROR_SUCCESS)
        return {opened == ERROR_FILE_NOT_FOUND ? Status::Missing : Status::Failed, {}};
    const std::unique_ptr<std::remove_pointer_t<HKEY>, decltype(&::RegCloseKey)> closer(
        key, &::RegCloseKey);
    try {
        return QueryString(key, Wide(name), false).value;
    } catch (const std::bad_alloc&) {
        return {Status::Failed, {}};
    }
}

} // namespace windows_impl
} // namespace zentaro::platform
