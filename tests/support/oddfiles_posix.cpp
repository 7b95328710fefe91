// The special files of a POSIX system: FIFOs and links to devices.
#include "support/oddfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace zentaro::testing {

const char* SpecialFilesMissing() {
    return nullptr;
}

const char* SymbolicLinksMissing() {
    return nullptr;
}

bool MakeFifo(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool MakeDeviceLink(const QString& path, const QString& device) {
    return QFile::link(device, path);
}

QString ExpendableNullDevice() {
    if (::geteuid() != 0)
        return QStringLiteral("/dev/null");
    static QTemporaryDir folder;
    static const QString device = [] {
        const QString path = folder.filePath(QStringLiteral("null"));
        if (!folder.isValid() ||
            ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            return QString();
        return path;
    }();
    return device;
}

void ReleaseFifos(const QStringList& fifos) {
    for (const QString& fifo : fifos) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
}

void DrainFifos(const QStringList& fifos) {
    for (const QString& fifo : fifos) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0)
            continue;
        char buffer[4096];
        for (int idle = 0; idle < 100;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n == 0)
                break;
            if (n < 0) {
                ++idle;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        ::close(fd);
    }
}

} // namespace zentaro::testing
