#include "platform/instancemarker.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zentaro::platform {

namespace {

// A lock file in the user's runtime folder, locked shared: every running copy
// holds it, none is refused. The lock goes with the process however it ends.
class LockFileMarker final : public InstanceMarker {
public:
    explicit LockFileMarker(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR)) {
        if (fd_ >= 0)
            ::flock(fd_, LOCK_SH | LOCK_NB);
    }
    ~LockFileMarker() override {
        if (fd_ >= 0)
            ::close(fd_);
    }
    LockFileMarker(const LockFileMarker&) = delete;
    LockFileMarker& operator=(const LockFileMarker&) = delete;

private:
    int fd_;
};

std::string MarkerFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/')
        return runtime;
    // Without a runtime folder, a name of the user's own in the shared one.
    return "/tmp";
}

} // namespace

std::unique_ptr<InstanceMarker> CreateInstanceMarker(const std::string& name) {
    std::string folder = MarkerFolder();
    std::string file = name;
    if (folder == "/tmp")
        file += "-" + std::to_string(::getuid());
    return std::make_unique<LockFileMarker>(folder + "/" + file + ".lock");
}

} // namespace zentaro::platform
