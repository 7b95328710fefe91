#include "platform/shippedfiles.h"

#include <filesystem>
#include <system_error>

namespace zentaro::platform {

const char* const kSharedFolderFromProgram = ZENTARO_SHARED_FROM_PROGRAM;

namespace {

namespace fs = std::filesystem;

// Paths are UTF-8 throughout; on Windows a plain std::string would be read in
// the system's code page.
fs::path PathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool IsKind(const fs::path& path, ShippedKind kind) {
    std::error_code error; // unreadable counts as absent
    return kind == ShippedKind::Folder ? fs::is_directory(path, error)
                                       : fs::is_regular_file(path, error);
}

} // namespace

std::string ShippedPath(const std::string& programFolder, const std::string& name,
                        ShippedKind kind) {
    if (programFolder.empty())
        return {};
    const fs::path folder = PathOf(programFolder);
    const fs::path beside = folder / PathOf(name);
    if (IsKind(beside, kind))
        return Utf8Of(beside);
    // Lexically: the executable's folder is a real one, and "/usr/bin/../share"
    // reads better as "/usr/share" wherever the path is shown.
    const fs::path shared =
        (folder / PathOf(kSharedFolderFromProgram) / PathOf(name)).lexically_normal();
    if (IsKind(shared, kind))
        return Utf8Of(shared);
    return Utf8Of(beside);
}

} // namespace zentaro::platform
