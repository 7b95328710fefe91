#include "platform/datafolders.h"
#include "text_windows.h"

// windows.h first: the shell headers build on its definitions.
// clang-format off
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
// clang-format on

namespace zentaro::platform {

namespace {

using windows_impl::Utf8;
using windows_impl::Wide;

class WindowsDataFolders final : public DataFolders {
public:
    char Separator() const override { return '\\'; }

    // The shell's per-user roaming application-data folder.
    std::string RoamingAppDataFolder() const override {
        wchar_t* path = nullptr;
        std::string folder;
        if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &path)) && path)
            folder = Utf8(path);
        ::CoTaskMemFree(path);
        while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/'))
            folder.pop_back();
        return folder;
    }

    // Created new only, for reading and writing, unshared, temporary and
    // deleted when closed: an existing chk.tmp makes the answer no, and
    // nothing is left behind even if the program dies in between.
    bool IsFolderWritable(const std::string& folder) const override {
        std::string path = folder;
        if (path.empty() || (path.back() != '\\' && path.back() != '/'))
            path += '\\';
        path += "chk.tmp";
        const HANDLE file =
            ::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        ::CloseHandle(file);
        return true;
    }

    // A standard user cannot write the program-files folders, so the writable
    // test alone keeps the program's files out of them.
    bool IsSystemFolder(const std::string&) const override { return false; }

    bool CreateFolder(const std::string& path) const override {
        return ::CreateDirectoryW(Wide(path).c_str(), nullptr) != FALSE;
    }
};

} // namespace

std::unique_ptr<DataFolders> CreateDataFolders(const std::string&) {
    return std::make_unique<WindowsDataFolders>();
}

} // namespace zentaro::platform
