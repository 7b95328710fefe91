#pragma once

#include <cstdint>
#include <string>

namespace zentaro::platform::linux_impl {

// A file descriptor, closed with its owner.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    // Gives the descriptor up; the caller closes it.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

enum class FileKind { Unknown, Regular, Folder, Other };

struct OpenedFile {
    FileDescriptor fd;                 // open for reading only when kind is Regular
    FileKind kind = FileKind::Unknown; // Unknown: the path could not be examined
    std::uint64_t size = 0;            // as the file system reports it; /proc says 0
    int error = 0;                     // errno of the failed call, if one failed
};

// Opens path for reading if it is a regular file. A FIFO, socket or device is
// refused before it is opened, and the open itself does not wait, so a path
// that changes kind in between cannot block either.
OpenedFile OpenRegularFile(const std::string& path);

// read() that retries when interrupted; -1 on error.
long ReadSome(int fd, void* destination, std::size_t size);

} // namespace zentaro::platform::linux_impl
