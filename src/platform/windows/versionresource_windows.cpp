#include "versionresource_windows.h"

#include "platform/textfold.h"
#include "text_windows.h"

#include <algorithm>
#include <vector>
#include <windows.h>

namespace zentaro::platform {

std::unique_ptr<VersionResource> CreateVersionResource() {
    return std::make_unique<windows_impl::WindowsVersionResource>();
}

std::string CurrentExecutablePath() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size())
            return windows_impl::Utf8(std::wstring_view(path.data(), n));
        if (path.size() >= 32768)
            return {}; // longer than any path the system allows
        path.resize(path.size() * 2);
    }
}

std::string RunningExecutableImage() {
    // Windows keeps the file of a running program from being deleted or
    // overwritten, so its name leads to the image that runs.
    return CurrentExecutablePath();
}

namespace windows_impl {

std::uint32_t WindowsVersionResource::BlockSize(const std::string& fileName, int& error) const {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(Wide(fileName).c_str(), &ignored);
    error = size == 0 ? static_cast<int>(::GetLastError()) : 0;
    return size;
}

bool WindowsVersionResource::ReadBlock(const std::string& fileName, std::span<std::uint8_t> buffer,
                                       int& error) const {
    error = 0;
    if (buffer.empty() || buffer.size() > 0xFFFFFFFFu) {
        error = ERROR_INVALID_PARAMETER;
        return false;
    }
    if (!::GetFileVersionInfoW(Wide(fileName).c_str(), 0, static_cast<DWORD>(buffer.size()),
                               buffer.data())) {
        error = static_cast<int>(::GetLastError());
        return false;
    }
    return true;
}

std::optional<VersionValue> WindowsVersionResource::QueryValue(std::span<const std::uint8_t> block,
                                                               const std::string& subBlock) const {
    if (block.empty())
        return std::nullopt;
    void* found = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), Wide(subBlock).c_str(), &found, &length) || !found)
        return std::nullopt;
    const auto* begin = static_cast<const std::uint8_t*>(found);
    if (begin < block.data() || begin >= block.data() + block.size())
        return std::nullopt; // not inside the block it was asked about
    const std::size_t offset = static_cast<std::size_t>(begin - block.data());
    const std::size_t room = block.size() - offset;
    VersionValue value;
    value.text = StartsWithFoldingAscii(subBlock, "\\StringFileInfo\\");
    value.bytes = block.subspan(offset, value.text ? room : std::min<std::size_t>(length, room));
    value.declaredLength = static_cast<std::uint16_t>(std::min<UINT>(length, 0xFFFF));
    return value;
}

std::string WindowsVersionResource::ErrorText(int error) const {
    return SystemErrorText(static_cast<unsigned long>(error));
}

} // namespace windows_impl
} // namespace zentaro::platform
