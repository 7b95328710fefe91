#include "platform/cappedread.h"
#include "platform/files.h"
#include "platform/versionresource.h"
#include "regularfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zentaro::platform {

namespace linux_impl {

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

namespace {
FileKind KindOf(mode_t mode) {
    if (S_ISREG(mode))
        return FileKind::Regular;
    return S_ISDIR(mode) ? FileKind::Folder : FileKind::Other;
}
} // namespace

OpenedFile OpenRegularFile(const std::string& path) {
    OpenedFile file;
    struct stat st {};
    // Opening a device can have effects of its own; look before touching it.
    if (::stat(path.c_str(), &st) != 0) {
        file.error = errno;
        return file;
    }
    file.kind = KindOf(st.st_mode);
    if (file.kind != FileKind::Regular)
        return file;
    // Not waiting: the path may have become a FIFO since it was looked at.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        file.kind = FileKind::Unknown;
        file.error = errno;
        return file;
    }
    if (::fstat(fd.get(), &st) != 0) {
        file.kind = FileKind::Unknown;
        file.error = errno;
        return file;
    }
    file.kind = KindOf(st.st_mode);
    if (file.kind != FileKind::Regular)
        return file;
    // Plain blocking reads from here on; the flag has no use for a regular file.
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags != -1)
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    file.size = static_cast<std::uint64_t>(st.st_size);
    file.fd = std::move(fd);
    return file;
}

long ReadSome(int fd, void* destination, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, destination, size);
        if (n >= 0 || errno != EINTR)
            return static_cast<long>(n);
    }
}

} // namespace linux_impl

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes,
                                           FileReadFailure& why) {
    using Kind = FileReadFailure::Kind;
    why = {};
    const linux_impl::OpenedFile file = linux_impl::OpenRegularFile(path);
    if (!file.fd) {
        if (file.kind == linux_impl::FileKind::Folder || file.kind == linux_impl::FileKind::Other)
            why.kind = Kind::NotRegular;
        else
            why = {Kind::System, file.error};
        return std::nullopt;
    }
    // The reported size is only a hint: /proc and /sys files report 0 or a page.
    const int fd = file.fd.get();
    return ReadCapped(file.size, maxBytes, why,
                      [fd](char* destination, std::size_t size, int& error) {
                          const long n = linux_impl::ReadSome(fd, destination, size);
                          if (n < 0)
                              error = errno;
                          return n;
                      });
}

bool WriteNewFile(const std::string& path, const std::string& contents, std::string& error) {
    // Whatever has the name goes first; a folder stays, and the exclusive
    // creation below then fails on it.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT && errno != EISDIR && errno != EPERM) {
        error = std::strerror(errno);
        return false;
    }
    linux_impl::FileDescriptor fd(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
               S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH));
    if (!fd) {
        error = std::strerror(errno);
        return false;
    }
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t n = ::write(fd.get(), contents.data() + written, contents.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = std::strerror(n < 0 ? errno : EIO);
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    if (::close(fd.release()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

std::string ExecutableFolder() {
    // The folder part stays right even when the file itself has been deleted
    // and the kernel reports its name with " (deleted)" appended.
    const std::string path = CurrentExecutablePath();
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace zentaro::platform
