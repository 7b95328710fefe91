#pragma once

#include <QString>
#include <optional>

namespace zentaro::testing {

// What the process holds now, as /proc/self shows it.
struct ProcessResources {
    int threads = 0;
    int sockets = 0;
    qint64 memoryKiB = 0; // resident

    // None where the system has no /proc/self (Windows).
    static std::optional<ProcessResources> Now();
    QString toString() const;
};

// Waits, events flowing, up to deadlineMs until the process holds no more
// threads and sockets than before and no more than marginKiB of memory beyond
// it (memory is not compared in a sanitizer's build). Empty when it does; else
// what it still holds.
QString HeldSince(const ProcessResources& before, int deadlineMs, qint64 marginKiB);

} // namespace zentaro::testing
