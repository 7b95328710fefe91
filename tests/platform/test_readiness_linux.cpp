// The Linux sources of the machine's state before a benchmark: frequency
// governors, power supplies, processor times, throttle counters and the
// hypervisor flag, each read from a fixture tree.
#include "platform/frequencygovernors.h"
#include "platform/hypervisor.h"
#include "platform/powersupply.h"
#include "platform/processortimes.h"
#include "platform/thermalthrottle.h"
#include "support/filetree.h"
#include "support/oddfiles.h"

#include <QtTest>

using namespace zentaro;
using namespace zentaro::platform;

using zentaro::testing::BuildTree;
using zentaro::testing::WriteText;

namespace {

const QString kCpu = "sys/devices/system/cpu/";
const QString kSupplies = "sys/class/power_supply/";

} // namespace

class TestReadinessLinux : public QObject {
    Q_OBJECT

private slots:
    void governors_data();
    void governors();
    void powerSupply_data();
    void powerSupply();
    void processorTimes_data();
    void processorTimes();
    void throttleCounts_data();
    void throttleCounts();
    void hypervisor_data();
    void hypervisor();

private:
    QString Root() const {
        return tmp_.filePath(QTest::currentTestFunction() + QString("-") + QTest::currentDataTag());
    }
    QTemporaryDir tmp_;
};

void TestReadinessLinux::governors_data() {
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("governors");
    const QString g = "/cpufreq/scaling_governor=";
    QTest::newRow("no cpufreq") << QStringList{kCpu + "cpu0/", kCpu + "cpu1/"} << QStringList{};
    QTest::newRow("in processor order, not name order")
        << QStringList{kCpu + "cpu10" + g + "schedutil\\n", kCpu + "cpu2" + g + "performance\\n",
                       kCpu + "cpu0" + g + "powersave\\n"}
        << QStringList{"powersave", "performance", "schedutil"};
    QTest::newRow("empty value and other folders left out")
        << QStringList{kCpu + "cpu0" + g + "\\n", kCpu + "cpu1" + g + "performance",
                       kCpu + "cpufreq/policy0/scaling_governor=powersave",
                       kCpu + "cpux" + g + "powersave", kCpu + "cpu" + g + "powersave"}
        << QStringList{"performance"};
    QTest::newRow("a FIFO in place of a value")
        << QStringList{kCpu + "cpu0" + g + "<fifo>", kCpu + "cpu1" + g + "ondemand"}
        << QStringList{"ondemand"};
}

void TestReadinessLinux::governors() {
    QFETCH(QStringList, tree);
    QFETCH(QStringList, governors);
    QStringList fifos;
    QVERIFY(BuildTree(Root(), tree, &fifos));
    std::vector<std::string> got;
    QVERIFY(testing::FinishesInTime(
        [&] { got = CreateFrequencyGovernors(Root().toStdString())->Governors(); }, fifos));
    QStringList names;
    for (const std::string& name : got)
        names << QString::fromStdString(name);
    QCOMPARE(names, governors);
}

void TestReadinessLinux::powerSupply_data() {
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<bool>("battery");
    QTest::addColumn<bool>("external");
    const QString ac = kSupplies + "AC/";
    const QString bat = kSupplies + "BAT0/";
    QTest::newRow("desktop without supplies") << QStringList{} << false << false;
    QTest::newRow("laptop on mains") << QStringList{ac + "type=Mains\\n", ac + "online=1\\n",
                                                    bat + "type=Battery\\n", bat + "present=1\\n"}
                                     << true << true;
    QTest::newRow("laptop on battery, no present file")
        << QStringList{ac + "type=Mains\\n", ac + "online=0\\n", bat + "type=Battery\\n"} << true
        << false;
    QTest::newRow("empty battery bay")
        << QStringList{bat + "type=Battery\\n", bat + "present=0\\n"} << false << false;
    QTest::newRow("battery of a mouse")
        << QStringList{kSupplies + "hidpp_battery_0/type=Battery",
                       kSupplies + "hidpp_battery_0/scope=Device\\n"}
        << false << false;
    QTest::newRow("charger on USB-C")
        << QStringList{kSupplies + "ucsi-source-psy-1/type=USB\\n",
                       kSupplies + "ucsi-source-psy-1/online=1\\n", bat + "type=Battery\\n"}
        << true << true;
    QTest::newRow("mains without an online file")
        << QStringList{ac + "type=Mains\\n", bat + "type=Battery\\n"} << true << false;
}

void TestReadinessLinux::powerSupply() {
    QFETCH(QStringList, tree);
    QFETCH(bool, battery);
    QFETCH(bool, external);
    QVERIFY(BuildTree(Root(), tree));
    const PowerSupplyState state = CreatePowerSupply(Root().toStdString())->State();
    QCOMPARE(state.systemBattery, battery);
    QCOMPARE(state.externalPower, external);
}

void TestReadinessLinux::processorTimes_data() {
    QTest::addColumn<QByteArray>("stat"); // "<none>": no file
    QTest::addColumn<qint64>("busy");     // -1: no reading
    QTest::addColumn<qint64>("total");
    const QByteArray rest = "cpu0 1 2 3 4\nintr 1 2 3\n";
    // user nice system idle iowait irq softirq steal guest guest_nice
    QTest::newRow("today's ten fields")
        << "cpu  100 5 50 800 20 3 2 10 7 1\n" + rest << qint64(170) << qint64(990);
    QTest::newRow("older kernel, four fields")
        << QByteArray("cpu 1 2 3 4\n") << qint64(6) << qint64(10);
    QTest::newRow("a long file after the first line")
        << "cpu  1 0 1 8 0 0 0 0 0 0\n" + QByteArray(1 << 20, 'x') << qint64(2) << qint64(10);
    QTest::newRow("three fields") << QByteArray("cpu  1 2 3\n") << qint64(-1) << qint64(0);
    QTest::newRow("not a number") << QByteArray("cpu  1 2 x 4\n") << qint64(-1) << qint64(0);
    QTest::newRow("a processor's line first")
        << QByteArray("cpu0 1 2 3 4\ncpu  1 2 3 4\n") << qint64(-1) << qint64(0);
    QTest::newRow("sum past 64 bits")
        << QByteArray("cpu  18446744073709551615 1 0 0\n") << qint64(-1) << qint64(0);
    QTest::newRow("field past 64 bits")
        << QByteArray("cpu  18446744073709551616 0 0 0\n") << qint64(-1) << qint64(0);
    QTest::newRow("no line end") << QByteArray("cpu  1 2 3 4") << qint64(-1) << qint64(0);
    QTest::newRow("endless first line") << "cpu  1 2 3 4" + QByteArray(1 << 16, ' ') + "\n"
                                        << qint64(-1) << qint64(0);
    QTest::newRow("no file") << QByteArray("<none>") << qint64(-1) << qint64(0);
}

void TestReadinessLinux::processorTimes() {
    QFETCH(QByteArray, stat);
    QFETCH(qint64, busy);
    QFETCH(qint64, total);
    QVERIFY(QDir().mkpath(Root()));
    if (stat != "<none>")
        QVERIFY(WriteText(Root() + "/proc/stat", stat));
    const auto totals = CreateProcessorTimes(Root().toStdString())->Totals();
    QCOMPARE(totals.has_value(), busy >= 0);
    if (totals) {
        QCOMPARE(qint64(totals->busy), busy);
        QCOMPARE(qint64(totals->total), total);
    }
}

void TestReadinessLinux::throttleCounts_data() {
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QString>("counts"); // "cpu:count" pairs
    const QString t = "/thermal_throttle/";
    QTest::newRow("none kept") << QStringList{kCpu + "cpu0/", kCpu + "cpu1/"} << "";
    QTest::newRow("core and package added, per processor")
        << QStringList{kCpu + "cpu0" + t + "core_throttle_count=3\\n",
                       kCpu + "cpu0" + t + "package_throttle_count=5\\n",
                       kCpu + "cpu12" + t + "package_throttle_count=5\\n",
                       kCpu + "cpu3" + t + "core_throttle_count=0\\n"}
        << "0:8 3:0 12:5";
    QTest::newRow("unreadable counter left out")
        << QStringList{kCpu + "cpu0" + t + "core_throttle_count=many\\n",
                       kCpu + "cpu1" + t + "core_throttle_count=many\\n",
                       kCpu + "cpu1" + t + "package_throttle_count=2\\n"}
        << "1:2";
}

void TestReadinessLinux::throttleCounts() {
    QFETCH(QStringList, tree);
    QFETCH(QString, counts);
    QVERIFY(BuildTree(Root(), tree));
    QStringList got;
    for (const auto& [cpu, n] : CreateThermalThrottle(Root().toStdString())->ThrottleCounts())
        got << QString("%1:%2").arg(cpu).arg(n);
    QCOMPARE(got.join(' '), counts);
}

void TestReadinessLinux::hypervisor_data() {
    QTest::addColumn<QByteArray>("cpuinfo"); // "<none>": no file
    QTest::addColumn<bool>("vm");
    QTest::newRow("flag among others")
        << QByteArray("processor\t: 0\nflags\t\t: fpu vme hypervisor lahf_lm\n\n") << true;
    QTest::newRow("flag last") << QByteArray("processor\t: 0\nflags\t\t: fpu hypervisor\n") << true;
    QTest::newRow("a longer flag")
        << QByteArray("processor\t: 0\nflags\t\t: fpu hypervisors\n") << false;
    QTest::newRow("bare metal") << QByteArray("processor\t: 0\nflags\t\t: fpu vme\n\n") << false;
    QTest::newRow("flag only in another field")
        << QByteArray("processor\t: 0\nbugs\t\t: hypervisor\nflags\t\t: fpu\n\n") << false;
    QTest::newRow("ARM: no flags")
        << QByteArray("processor\t: 0\nFeatures\t: fp asimd\n\n") << false;
    QTest::newRow("no file") << QByteArray("<none>") << false;
    QTest::newRow("committed fixture") << QByteArray("<kvm-guest>") << true;
}

void TestReadinessLinux::hypervisor() {
    QFETCH(QByteArray, cpuinfo);
    QFETCH(bool, vm);
    QString root = Root();
    QVERIFY(QDir().mkpath(root));
    if (cpuinfo == "<kvm-guest>")
        root = QStringLiteral(ZENTARO_TEST_DATA "/machines/kvm-guest");
    else if (cpuinfo != "<none>")
        QVERIFY(WriteText(root + "/proc/cpuinfo", cpuinfo));
    QCOMPARE(CreateHypervisor(root.toStdString())->RunsUnderHypervisor(), vm);
}

QTEST_GUILESS_MAIN(TestReadinessLinux)
#include "test_readiness_linux.moc"
