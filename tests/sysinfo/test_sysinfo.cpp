// Processor facts and clock sampling: the logic with fakes, and whole machines
// through the platform's fixture trees.
#include "platform/registryvalues.h"
#include "support/fakemachine.h"
#include "sysinfo/clocksampler.h"
#include "sysinfo/machinefacts.h"
#include "sysinfo/processorinfo.h"

#include <QtTest>
#include <deque>

using namespace zentaro;
using namespace zentaro::platform;
using namespace zentaro::sysinfo;
using zentaro::testing::FakeRegistry;
using zentaro::testing::FakeSystemInfo;

namespace {

// The number beside a speed text is the one the text shows, and there is none
// beside "Unknown".
template <typename Number> QString SpeedOf(const std::optional<Number>& mhz) {
    return mhz ? QString::fromStdString(MhzText(*mhz)) : QString("Unknown");
}

// Hands out scripted samples; -1 once the script runs out.
class ScriptedClock : public ClockSpeedSource {
public:
    std::deque<int> samples;
    int calls = 0;
    int QueryCurrentClockSpeed() noexcept override {
        ++calls;
        if (samples.empty())
            return -1;
        const int s = samples.front();
        samples.pop_front();
        return s;
    }
};

QString Machine(const char* name) {
    return QStringLiteral(ZENTARO_TEST_DATA "/machines/") + name;
}

} // namespace

class TestSysinfo : public QObject {
    Q_OBJECT

private slots:
    void cpuInfo_data();
    void cpuInfo();
    void wrongTypeEscapesAndClosesTheKey_data();
    void wrongTypeEscapesAndClosesTheKey();
    void architecture_data();
    void architecture();
    void sampling_data();
    void sampling();
    void machines_data();
    void machines();
    void factsSurviveABrokenKey();
};

void TestSysinfo::cpuInfo_data() {
    QTest::addColumn<bool>("keyExists");
    QTest::addColumn<QVariant>("name");  // invalid: no value
    QTest::addColumn<QVariant>("speed"); // invalid: no value
    QTest::addColumn<QString>("nameText");
    QTest::addColumn<QString>("speedText");
    QTest::newRow("both") << true << QVariant("Some CPU @ 3.60GHz") << QVariant(3600u)
                          << "Some CPU @ 3.60GHz"
                          << "3600 MHz";
    QTest::newRow("blanks unchanged")
        << true << QVariant("  Some  CPU ") << QVariant(1u) << "  Some  CPU "
        << "1 MHz";
    QTest::newRow("empty name") << true << QVariant("") << QVariant(0u) << ""
                                << "0 MHz";
    QTest::newRow("no name") << true << QVariant() << QVariant(12000u) << "Unknown"
                             << "12000 MHz";
    QTest::newRow("no speed") << true << QVariant("X") << QVariant() << "X"
                              << "Unknown";
    QTest::newRow("largest speed") << true << QVariant("X") << QVariant(4294967295u) << "X"
                                   << "4294967295 MHz";
    QTest::newRow("no key") << false << QVariant("X") << QVariant(1u) << "Unknown"
                            << "Unknown";
}

void TestSysinfo::cpuInfo() {
    QFETCH(bool, keyExists);
    QFETCH(QVariant, name);
    QFETCH(QVariant, speed);
    QFETCH(QString, nameText);
    QFETCH(QString, speedText);
    FakeRegistry registry;
    registry.keyExists = keyExists;
    if (name.isValid())
        registry.values["ProcessorNameString"] = name.toString().toStdString();
    if (speed.isValid())
        registry.values["~MHz"] = std::uint32_t(speed.toUInt());
    const CpuInfo info = GetCPUInfo(registry);
    QCOMPARE(QString::fromStdString(info.name), nameText);
    QCOMPARE(QString::fromStdString(info.baseSpeed), speedText);
    QCOMPARE(SpeedOf(info.baseMhz), speedText);
    QCOMPARE(registry.openKeys, 0);
}

void TestSysinfo::wrongTypeEscapesAndClosesTheKey_data() {
    QTest::addColumn<bool>("nameIsNumber");
    QTest::newRow("number for the name") << true;
    QTest::newRow("text for the speed") << false;
}

void TestSysinfo::wrongTypeEscapesAndClosesTheKey() {
    QFETCH(bool, nameIsNumber);
    FakeRegistry registry;
    if (nameIsNumber) {
        registry.values["ProcessorNameString"] = std::uint32_t(5);
        registry.values["~MHz"] = std::uint32_t(3600);
    } else {
        registry.values["ProcessorNameString"] = std::string("X");
        registry.values["~MHz"] = std::string("3600");
    }
    QVERIFY_THROWS_EXCEPTION(RegistryError, GetCPUInfo(registry));
    QCOMPARE(registry.openKeys, 0);
}

void TestSysinfo::architecture_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("word");
    QTest::newRow("x86") << 0 << "x86";
    QTest::newRow("ARM") << 5 << "ARM";
    QTest::newRow("Itanium") << 6 << "Unknown";
    QTest::newRow("x64") << 9 << "x64";
    QTest::newRow("ARM64") << 12 << "Unknown";
    QTest::newRow("unknown") << 0xFFFF << "Unknown";
}

void TestSysinfo::architecture() {
    QFETCH(int, code);
    QFETCH(QString, word);
    FakeSystemInfo system;
    system.info = {std::uint16_t(code), 16};
    const ArchitectureInfo a = ShowSystemCPUArchitecture(system);
    QCOMPARE(QString::fromStdString(a.architecture), word);
    QCOMPARE(a.threads, std::string("16"));
}

// Not sampled -> showing -> stopped; 0 is a sample; the first failure is final.
void TestSysinfo::sampling_data() {
    QTest::addColumn<QList<int>>("script");
    QTest::addColumn<int>("ticks"); // calls of Sample() after the first
    QTest::addColumn<int>("queries");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("timer");
    QTest::newRow("fails at once") << QList<int>{-1} << 3 << 1 << false << "Unknown" << false;
    QTest::newRow("zero is a sample") << QList<int>{0} << 0 << 1 << true << "0 MHz" << true;
    QTest::newRow("keeps sampling")
        << QList<int>{4190, 4200, 800} << 2 << 3 << true << "800 MHz" << true;
    QTest::newRow("later failure keeps the last value")
        << QList<int>{4190, 4200, -1, 5000} << 5 << 3 << true << "4200 MHz" << false;
}

void TestSysinfo::sampling() {
    QFETCH(QList<int>, script);
    QFETCH(int, ticks);
    QFETCH(int, queries);
    QFETCH(bool, visible);
    QFETCH(QString, text);
    QFETCH(bool, timer);
    ScriptedClock clock;
    clock.samples.assign(script.begin(), script.end());
    ClockSampler sampler(clock);
    QCOMPARE(sampler.state(), ClockSampler::State::NotSampled);
    QVERIFY(!sampler.rowVisible() && sampler.timerEnabled());
    QCOMPARE(sampler.valueText(), std::string("Unknown"));

    sampler.Sample(); // during the window's creation
    for (int i = 0; i < ticks && sampler.timerEnabled(); ++i)
        sampler.Sample();
    QCOMPARE(clock.calls, queries);
    QCOMPARE(sampler.rowVisible(), visible);
    QCOMPARE(QString::fromStdString(sampler.valueText()), text);
    QCOMPARE(SpeedOf(sampler.valueMhz()), text);
    QCOMPARE(sampler.timerEnabled(), timer);
    QCOMPARE(sampler.state(), !timer ? ClockSampler::State::Stopped : ClockSampler::State::Showing);
    if (!timer) { // stopped is final: no further query, nothing changes
        QVERIFY(!sampler.Sample());
        QCOMPARE(clock.calls, queries);
        QCOMPARE(QString::fromStdString(sampler.valueText()), text);
    }
}

// Whole machines through the Linux sources: each fact and where it came from.
void TestSysinfo::machines_data() {
    QTest::addColumn<QString>("machine");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("baseSpeed");
    QTest::addColumn<QString>("currentSpeed");
    // base_frequency; scaling_cur_freq
    QTest::newRow("Intel desktop with cpufreq") << "intel-desktop"
                                                << "Intel(R) Core(TM) i7-10700K CPU @ 3.80GHz"
                                                << "3800 MHz"
                                                << "4700 MHz";
    // CPPC nominal_freq; the name's trailing blanks as the kernel gives them
    QTest::newRow("AMD desktop with CPPC") << "amd-cppc"
                                           << "AMD Ryzen 7 5800X 8-Core Processor            "
                                           << "3800 MHz"
                                           << "2200 MHz";
    // No model name and no rated speed: only the current one
    QTest::newRow("ARM board") << "arm-board"
                               << "Unknown"
                               << "Unknown"
                               << "1500 MHz";
    // cpu MHz for both
    QTest::newRow("virtual machine") << "vm"
                                     << "Intel(R) Xeon(R) Processor"
                                     << "2600 MHz"
                                     << "2600 MHz";
    QTest::newRow("unreadable cpuinfo") << "unreadable"
                                        << "Unknown"
                                        << "Unknown"
                                        << "Unknown";
    QTest::newRow("no such root") << "missing"
                                  << "Unknown"
                                  << "Unknown"
                                  << "Unknown";
}

void TestSysinfo::machines() {
    QFETCH(QString, machine);
    QFETCH(QString, name);
    QFETCH(QString, baseSpeed);
    QFETCH(QString, currentSpeed);
    const std::string root = Machine(qPrintable(machine)).toStdString();
    const auto registry = CreateSystemRegistry(root);
    const auto clock = CreateClockSpeedSource(root);
    FakeSystemInfo system;
    system.info = {kArchitectureAmd64, 8};
    const MachineFacts f = CollectMachineFacts(*registry, system, *clock);
    QCOMPARE(QString::fromStdString(f.cpuName), name);
    QCOMPARE(QString::fromStdString(f.baseSpeed), baseSpeed);
    QCOMPARE(QString::fromStdString(f.currentSpeed), currentSpeed);
    QCOMPARE(SpeedOf(f.baseSpeedMhz), baseSpeed);
    QCOMPARE(SpeedOf(f.currentSpeedMhz), currentSpeed);
    QCOMPARE(f.architecture, std::string("x64"));
    QCOMPARE(f.threads, 8u);
    QVERIFY(f.error.empty());
}

void TestSysinfo::factsSurviveABrokenKey() {
    FakeRegistry registry;
    registry.values["ProcessorNameString"] = std::uint32_t(5);
    FakeSystemInfo system;
    system.info = {kArchitectureIntel, 2};
    ScriptedClock clock;
    clock.samples = {1234};
    const MachineFacts f = CollectMachineFacts(registry, system, clock);
    QCOMPARE(f.cpuName, std::string("Unknown"));
    QCOMPARE(f.baseSpeed, std::string("Unknown"));
    QVERIFY(!f.baseSpeedMhz);
    QVERIFY(!f.error.empty());
    QCOMPARE(f.architecture, std::string("x86"));
    QCOMPARE(f.currentSpeed, std::string("1234 MHz"));
    QCOMPARE(f.currentSpeedMhz, std::optional<int>(1234));
}

QTEST_APPLESS_MAIN(TestSysinfo)
#include "test_sysinfo.moc"
