#include "platform/datafolders.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zentaro::platform {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

class LinuxDataFolders final : public DataFolders {
public:
    char Separator() const override { return '/'; }

    // The XDG base directory rules: $XDG_DATA_HOME if it is an absolute path,
    // else ~/.local/share.
    std::string RoamingAppDataFolder() const override {
        const std::string xdg = Variable("XDG_DATA_HOME");
        if (!xdg.empty() && xdg.front() == '/')
            return WithoutTrailingSlash(xdg);
        const std::string home = Variable("HOME");
        if (home.empty() || home.front() != '/')
            return {};
        return WithoutTrailingSlash(home) + "/.local/share";
    }

    bool IsFolderWritable(const std::string& folder) const override {
        std::string path = folder;
        if (path.empty() || path.back() != '/')
            path += '/';
        path += "chk.tmp";
        // New only: an existing chk.tmp, even one we could write, means no.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                              S_IRUSR | S_IWUSR);
        if (fd < 0)
            return false;
        ::close(fd);
        ::unlink(path.c_str());
        return true;
    }

    bool CreateFolder(const std::string& path) const override {
        return ::mkdir(path.c_str(), 0777) == 0;
    }
};

} // namespace

std::unique_ptr<DataFolders> CreateDataFolders() {
    return std::make_unique<LinuxDataFolders>();
}

} // namespace zentaro::platform
