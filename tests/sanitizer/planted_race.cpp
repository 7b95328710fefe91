// A data race planted on purpose inside a test function: the test thread
// changes the selected test type while a worker reads it. Built only for the
// ThreadSanitizer configuration, where the tool must report it even though
// every test function runs beneath QtTest's own frames. If it does not, the
// suppressions hide races in our code and the build's race checking is void.
#include "engine/workloads.h"

#include <QtTest>
#include <thread>

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
};

QTEST_GUILESS_MAIN(PlantedRace)
#include "planted_race.moc"
