#include "platform/datafolders.h"
#include "sysroot.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <initializer_list>
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

// The path with its links and dots resolved; as given when it cannot be.
std::string Resolved(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return WithoutTrailingSlash(path);
    std::string result(real);
    std::free(real);
    return result;
}

class LinuxDataFolders final : public DataFolders {
public:
    explicit LinuxDataFolders(std::string systemRoot) : root_(std::move(systemRoot)) {}

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

    // Root may write anywhere, so writability alone would let an installed copy
    // fill the package manager's folders with files of its own.
    bool IsSystemFolder(const std::string& folder) const override {
        const std::string real = Resolved(folder);
        for (const char* top : {"/usr", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"}) {
            const std::string system = Resolved(linux_impl::UnderRoot(root_, top));
            if (real == system || real.rfind(system + "/", 0) == 0)
                return true;
        }
        struct stat st {};
        // A folder that cannot be looked at is no place for files either.
        if (::stat(real.c_str(), &st) != 0)
            return true;
        return st.st_uid != ::geteuid();
    }

    bool CreateFolder(const std::string& path) const override {
        return ::mkdir(path.c_str(), 0777) == 0;
    }

private:
    std::string root_;
};

} // namespace

std::unique_ptr<DataFolders> CreateDataFolders(const std::string& systemRoot) {
    return std::make_unique<LinuxDataFolders>(systemRoot);
}

} // namespace zentaro::platform
