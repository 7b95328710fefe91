#include "processresources.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace zentaro::testing {

namespace {

// Under a sanitizer freed memory stays in its quarantine, not with the system.
constexpr bool kMemoryCounts = !ZENTARO_SANITIZED;

} // namespace

std::optional<ProcessResources> ProcessResources::Now() {
    const QDir tasks(QStringLiteral("/proc/self/task"));
    QFile status(QStringLiteral("/proc/self/status"));
    if (!tasks.exists() || !status.open(QIODevice::ReadOnly))
        return std::nullopt;
    ProcessResources now;
    now.threads = static_cast<int>(tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        if (fd.symLinkTarget().contains(QLatin1String("socket:")))
            ++now.sockets;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            now.memoryKiB = line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return now;
}

QString ProcessResources::toString() const {
    return QStringLiteral("%1 threads, %2 sockets, %3 KiB")
        .arg(threads)
        .arg(sockets)
        .arg(memoryKiB);
}

QString HeldSince(const ProcessResources& before, int deadlineMs, qint64 marginKiB) {
    const QDeadlineTimer deadline(deadlineMs);
    for (;;) {
        const std::optional<ProcessResources> now = ProcessResources::Now();
        if (!now)
            return QStringLiteral("no /proc/self");
        if (now->threads <= before.threads && now->sockets <= before.sockets &&
            (!kMemoryCounts || now->memoryKiB <= before.memoryKiB + marginKiB))
            return {};
        if (deadline.hasExpired())
            return QStringLiteral("before: %1; after %2 ms: %3")
                .arg(before.toString())
                .arg(deadlineMs)
                .arg(now->toString());
        QTest::qWait(50);
    }
}

} // namespace zentaro::testing
