#include "versionresource_linux.h"

#include "elfsection.h"
#include "platform/versionblock.h"
#include "regularfile.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace zentaro::platform {

std::unique_ptr<VersionResource> CreateVersionResource() {
    return std::make_unique<linux_impl::LinuxVersionResource>();
}

std::string CurrentExecutablePath() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= path.size())
        return {};
    path.resize(static_cast<std::size_t>(n));
    return path;
}

std::string RunningExecutableImage() {
    // Opening the link itself reaches the file the process runs from, even
    // after that file was deleted or replaced; its target name would not.
    return "/proc/self/exe";
}

namespace linux_impl {

namespace {

// A version block is at most 64 KiB: its lengths are 16-bit.
constexpr std::uint64_t kMaxBlock = 0xFFFF;

struct Located {
    FileDescriptor fd;
    ElfSection section;
    int error = 0;
};

bool PreadAll(int fd, std::uint64_t offset, void* destination, std::size_t size) {
    auto* out = static_cast<char*>(destination);
    while (size > 0) {
        const ssize_t n = ::pread(fd, out, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void Locate(const std::string& fileName, Located& l) {
    OpenedFile file = OpenRegularFile(fileName);
    if (!file.fd) {
        // A FIFO or device is no executable, and is never waited on.
        l.error = file.kind == FileKind::Folder  ? EISDIR
                  : file.kind == FileKind::Other ? ENOEXEC
                                                 : file.error;
        return;
    }
    l.fd = std::move(file.fd);
    const int fd = l.fd.get();
    bool notElf = false;
    const auto section =
        FindElfSection([fd](std::uint64_t offset, void* destination,
                            std::size_t size) { return PreadAll(fd, offset, destination, size); },
                       file.size, kVersionSection, &notElf);
    if (!section || section->size == 0 || section->size > kMaxBlock) {
        l.error = notElf ? ENOEXEC : ENODATA;
        return;
    }
    l.section = *section;
}

} // namespace

std::uint32_t LinuxVersionResource::BlockSize(const std::string& fileName, int& error) const {
    Located l;
    Locate(fileName, l);
    error = l.error;
    return l.error ? 0 : static_cast<std::uint32_t>(l.section.size);
}

bool LinuxVersionResource::ReadBlock(const std::string& fileName, std::span<std::uint8_t> buffer,
                                     int& error) const {
    Located l;
    Locate(fileName, l);
    error = l.error;
    if (error)
        return false;
    // The file may have changed since its size was asked for; take what fits.
    const std::size_t size = std::min<std::uint64_t>(l.section.size, buffer.size());
    if (!PreadAll(l.fd.get(), l.section.offset, buffer.data(), size)) {
        error = EIO;
        return false;
    }
    return true;
}

std::optional<VersionValue> LinuxVersionResource::QueryValue(std::span<const std::uint8_t> block,
                                                             const std::string& subBlock) const {
    return versionblock::Query(block, subBlock);
}

std::string LinuxVersionResource::ErrorText(int error) const {
    char buffer[256] = {};
    // The GNU strerror_r returns its text, which need not be in buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return text ? text : "";
}

} // namespace linux_impl
} // namespace zentaro::platform
