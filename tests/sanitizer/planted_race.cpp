// Data races planted on purpose, one per test function; each function is run
// as a program of its own, since the tool stops at its first report. Built only
// for the ThreadSanitizer configuration, where the tool must report each one
// with the project's suppressions in force, although every test function runs
// beneath QtTest's own frames and some races reach into Qt or the C library.
// If one goes unreported, the suppressions hide races in our code and the
// build's race checking is void.
#include "engine/workloads.h"

#include <QByteArray>
#include <QTemporaryFile>
#include <QtTest>
#include <atomic>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

class PlantedRace : public QObject {
    Q_OBJECT

private slots:
    void testTypeWrittenWhileAWorkerReadsIt() {
        std::size_t seen = 0;
        std::thread worker([&seen] { seen = zentaro::TestType.size(); });
        zentaro::TestType = "Integer Arithmetic"; // no lock, no ordering: the race
        worker.join();
        QVERIFY(seen == 0 || seen == zentaro::TestType.size());
    }

    // Our worker fills a buffer while Qt copies it: the copy is Qt's own
    // memcpy, made from inside Qt Core, and still ours to order. The flag is
    // relaxed, so it orders nothing for the tool; it only makes sure the
    // worker's writes come first.
    void bufferWrittenWhileQtCopiesIt() {
        char buffer[256] = {};
        std::atomic<bool> written{false};
        std::thread worker([&buffer, &written] {
            for (char& c : buffer)
                c = 'x';
            written.store(true, std::memory_order_relaxed);
        });
        while (!written.load(std::memory_order_relaxed))
            std::this_thread::yield();
        const QByteArray copy(buffer, sizeof buffer); // unordered with the worker: the race
        worker.join();
        QCOMPARE(copy.size(), qsizetype(sizeof buffer));
    }

    // Our descriptor closed while our worker still reads through it; the
    // relaxed flag again only makes the read come first.
    void descriptorClosedWhileAWorkerReadsIt() {
        QTemporaryFile file;
        QVERIFY(file.open());
        QVERIFY(file.write("planted") == 7);
        QVERIFY(file.flush());
        const int fd = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        std::atomic<bool> read{false};
        std::thread worker([fd, &read] {
            char c = 0;
            (void)::pread(fd, &c, 1, 0);
            read.store(true, std::memory_order_relaxed);
        });
        while (!read.load(std::memory_order_relaxed))
            std::this_thread::yield();
        ::close(fd); // unordered with the worker's read: the race
        worker.join();
    }
};

QTEST_GUILESS_MAIN(PlantedRace)
#include "planted_race.moc"
