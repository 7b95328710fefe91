#pragma once

// A stand-in for pkexec put where the program looks for it: a copy named
// "pkexec" in a temporary folder at the front of PATH. The stand-ins are the
// programs built from standinasker.cpp (see there for what each does).
#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zentaro::testing {

class StandInAsker {
public:
    // kind: "wait", "stubborn" or "grant".
    explicit StandInAsker(const char* kind) : oldPath_(qgetenv("PATH")) {
        const QString built =
            QStringLiteral(ZENTARO_BIN_DIR "/tests/standins/standin_asker_") + kind;
        ok_ = dir_.isValid() && QFile::copy(built, path());
        qputenv("PATH", QFile::encodeName(dir_.path()) + ':' + oldPath_);
    }
    ~StandInAsker() { qputenv("PATH", oldPath_); }
    StandInAsker(const StandInAsker&) = delete;
    StandInAsker& operator=(const StandInAsker&) = delete;

    bool ok() const { return ok_; }
    QString folder() const { return dir_.path(); }
    QString path() const { return dir_.filePath(QStringLiteral("pkexec")); }
    QString pidFile() const { return path() + QStringLiteral(".pid"); }

    // The process id a waiting stand-in wrote once it ran; 0 if none came
    // within the deadline. The file is taken away, so that the next one's can
    // be told apart.
    qint64 TakePid(int deadlineMs = 10'000) const { return TakePidOf(pidFile(), deadlineMs); }

    static qint64 TakePidOf(const QString& pidFile, int deadlineMs = 10'000) {
        QDeadlineTimer deadline(deadlineMs);
        while (!QFileInfo::exists(pidFile) && !deadline.hasExpired())
            QTest::qWait(5);
        QFile file(pidFile);
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        const qint64 pid = file.readAll().trimmed().toLongLong();
        file.remove();
        return pid;
    }

    // No such process, not even one waiting to be reaped.
    static bool Gone(qint64 pid) { return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)); }

    static bool GoneWithin(qint64 pid, int deadlineMs) {
        QDeadlineTimer deadline(deadlineMs);
        while (!Gone(pid) && !deadline.hasExpired())
            QTest::qWait(10);
        return Gone(pid);
    }

private:
    QByteArray oldPath_;
    QTemporaryDir dir_;
    bool ok_ = false;
};

// For a step that must not wait for a waiting stand-in: past the deadline the
// stand-in is made to end (its file goes, which it watches), so a step that
// waits for it comes back and the test fails on Disarm() instead of hanging.
class StandInWatchdog {
public:
    StandInWatchdog(QString standIn, std::chrono::milliseconds deadline)
        : thread_([this, file = std::move(standIn), deadline] {
              std::unique_lock lock(mutex_);
              if (!wake_.wait_for(lock, deadline, [this] { return done_; })) {
                  fired_ = true;
                  QFile::remove(file);
              }
          }) {}
    ~StandInWatchdog() {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    StandInWatchdog(const StandInWatchdog&) = delete;
    StandInWatchdog& operator=(const StandInWatchdog&) = delete;
    // Ends the watch; says whether it had to step in.
    bool Disarm() {
        const std::lock_guard lock(mutex_);
        done_ = true;
        wake_.notify_one();
        return fired_;
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

} // namespace zentaro::testing
