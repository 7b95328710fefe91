#include "platform/cappedread.h"
#include "platform/files.h"
#include "platform/versionresource.h"
#include "text_windows.h"

#include <algorithm>
#include <cstdint>
#include <windows.h>

namespace zentaro::platform {

namespace {

using windows_impl::ErrnoForSystemError;
using windows_impl::SystemErrorText;
using windows_impl::Wide;

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (h_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

} // namespace

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes,
                                           FileReadFailure& why) {
    using Kind = FileReadFailure::Kind;
    why = {};
    const std::wstring name = Wide(path);
    if (name.empty()) {
        why = {Kind::System, ErrnoForSystemError(ERROR_FILE_NOT_FOUND)};
        return std::nullopt;
    }
    // A folder or a device is refused before it is opened: opening a device
    // (a serial port, a console) can have effects of its own.
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        why = {Kind::System, ErrnoForSystemError(::GetLastError())};
        return std::nullopt;
    }
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
        why.kind = Kind::NotRegular;
        return std::nullopt;
    }
    // Others may go on writing, renaming or deleting it meanwhile, as on Linux.
    const Handle file(::CreateFileW(name.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        why = {Kind::System, ErrnoForSystemError(::GetLastError())};
        return std::nullopt;
    }
    // The name may have come to mean a pipe or a device since it was looked at.
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(file.get()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        why.kind = Kind::NotRegular;
        return std::nullopt;
    }
    const std::uint64_t size =
        (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    // The size is a hint: the file may grow while it is read.
    const HANDLE handle = file.get();
    return ReadCapped(
        size, maxBytes, why, [handle](char* destination, std::size_t wanted, int& error) {
            DWORD got = 0;
            if (!::ReadFile(handle, destination, static_cast<DWORD>(wanted), &got, nullptr)) {
                error = ErrnoForSystemError(::GetLastError());
                return -1L;
            }
            return static_cast<long>(got);
        });
}

bool WriteNewFile(const std::string& path, const std::string& contents, std::string& error) {
    const std::wstring name = Wide(path);
    // A link is deleted itself, not what it leads to; a folder stays, and the
    // creation below then fails on it.
    ::DeleteFileW(name.c_str());
    // New only, and a link that appeared in between is not followed.
    const Handle file(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        error = SystemErrorText(::GetLastError());
        return false;
    }
    std::size_t written = 0;
    while (written < contents.size()) {
        const DWORD chunk = static_cast<DWORD>(
            std::min<std::size_t>(contents.size() - written, std::size_t{1} << 30));
        DWORD n = 0;
        if (!::WriteFile(file.get(), contents.data() + written, chunk, &n, nullptr) || n == 0) {
            error = SystemErrorText(::GetLastError());
            return false;
        }
        written += n;
    }
    return true;
}

std::string ExecutableFolder() {
    const std::string path = CurrentExecutablePath();
    const std::size_t separator = path.find_last_of("\\/");
    if (separator == std::string::npos)
        return {};
    // "C:" alone would mean the current folder of drive C.
    if (separator > 0 && path[separator - 1] == ':')
        return path.substr(0, separator + 1);
    return path.substr(0, separator);
}

} // namespace zentaro::platform
