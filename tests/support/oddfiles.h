#pragma once

// Files of the kinds a reader must refuse without hanging or filling memory,
// made at run time inside a test's temporary folder.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace zentaro::testing {

// Null where the system has FIFOs and links to devices; otherwise why it has
// none, for QSKIP in the rows that need one.
const char* SpecialFilesMissing();
// Null where QFile::link makes a symbolic link; otherwise (Windows, where it
// makes a shell shortcut, a file of its own) why the rows with links are skipped.
const char* SymbolicLinksMissing();

// A FIFO with no writer: a blocking open for reading waits forever.
bool MakeFifo(const QString& path);

// A symbolic link to a device, by default /dev/zero: endless bytes to read.
bool MakeDeviceLink(const QString& path, const QString& device = QStringLiteral("/dev/zero"));

// A null device for tests of writers, whose fault would be to replace it with a
// file: as root, who could replace the system's /dev/null itself, a device node
// of the test program's own; otherwise /dev/null, which only root may replace.
// Empty where there is none (no special files, or root may not make one).
QString ExpendableNullDevice();

// A file of size bytes that takes no room on disk: head, then a hole of zeros.
bool MakeSparseFile(const QString& path, qint64 size, const QByteArray& head = {});

// A writer that comes and goes: a reader waiting in open() on one of the fifos
// gets through, and its reads then end at once.
void ReleaseFifos(const QStringList& fifos);
// A reader that takes all a writer waiting in open() writes (so that it never
// meets a closed pipe) until the writer closes.
void DrainFifos(const QStringList& fifos);

// Runs work on a thread of its own and waits up to deadline for it to end.
// Past the deadline, a reader stuck on one of the fifos is set free by opening
// and closing it for writing, so that the fault shows as a failed test (false)
// rather than a hung one. A thread that stays stuck even then aborts the test
// program.
bool FinishesInTime(const std::function<void()>& work, const QStringList& fifos = {},
                    std::chrono::milliseconds deadline = std::chrono::seconds(30));

// For work that must stay on its own thread (a window's): past the deadline a
// thread of the watchdog sets free whoever waits in open() on one of the fifos,
// reader or writer, and drains what a writer writes, until the watchdog ends.
// fired() says whether it had to.
class FifoWatchdog {
public:
    explicit FifoWatchdog(QStringList fifos,
                          std::chrono::milliseconds deadline = std::chrono::seconds(20));
    ~FifoWatchdog();
    FifoWatchdog(const FifoWatchdog&) = delete;
    FifoWatchdog& operator=(const FifoWatchdog&) = delete;
    bool fired() const;

private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

} // namespace zentaro::testing
