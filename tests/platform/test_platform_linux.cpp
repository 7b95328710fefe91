// The Linux sources behind the platform interfaces: ELF version sections, the
// processor key built from /proc and /sys, the clock, the system information,
// whole-file reads and the program's own file.
#include "platform/clockspeed.h"
#include "platform/datafolders.h"
#include "platform/files.h"
#include "platform/kernelrelease.h"
#include "platform/linux/elfsection.h"
#include "platform/linux/systeminfo_linux.h"
#include "platform/linux/versionresource_linux.h"
#include "platform/processortopology.h"
#include "platform/registry.h"
#include "platform/versionblock.h"
#include "support/elffixture.h"
#include "support/filetree.h"
#include "support/oddfiles.h"

#include <QtTest>
#include <cerrno>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace zentaro;
using namespace zentaro::platform;
using Bytes = std::vector<std::uint8_t>;

using zentaro::testing::BuildTree;
using zentaro::testing::WriteText;

namespace {

Bytes SmallBlock() {
    versionblock::Contents c;
    c.translations = {{0x0409, 0x04B0}};
    c.tables = {{"040904b0", {{"CompanyName", "KESTRIX"}}}};
    return *versionblock::Build(c);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

Bytes FromQByteArray(const QByteArray& a) {
    return Bytes(a.begin(), a.end());
}

std::optional<linux_impl::ElfSection> FindInMemory(const Bytes& file) {
    return linux_impl::FindElfSection(
        [&file](std::uint64_t offset, void* destination, std::size_t size) {
            if (offset > file.size() || size > file.size() - offset)
                return false;
            std::memcpy(destination, file.data() + offset, size);
            return true;
        },
        file.size(), linux_impl::kVersionSection);
}

} // namespace

class TestPlatformLinux : public QObject {
    Q_OBJECT

private slots:
    void versionSection_data();
    void versionSection();
    void damagedElf();
    void processorKey_data();
    void processorKey();
    void otherKeysDoNotExist();
    void clockReadsAfresh();
    void kilohertzNearTheLimits_data();
    void kilohertzNearTheLimits();
    void specialMachineFiles_data();
    void specialMachineFiles();
    void readRegularFile_data();
    void readRegularFile();
    void writeNewFile_data();
    void writeNewFile();
    void systemFolders_data();
    void systemFolders();
    void runningImage();
    void architecture_data();
    void architecture();
    void affinityCount();
    void kernelRelease_data();
    void kernelRelease();
    void liveKernelRelease();
    void physicalCores_data();
    void physicalCores();

private:
    QString Root() const {
        return tmp_.filePath(QTest::currentTestFunction() + QString("-") + QTest::currentDataTag());
    }
    QTemporaryDir tmp_;
};

// Size and contents of the version section, and the error code when there is none.
void TestPlatformLinux::versionSection_data() {
    QTest::addColumn<QByteArray>("contents"); // of the file; "<missing>", "<folder>" special
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("error");
    const Bytes block = SmallBlock();
    const Bytes elf = testing::MakeElfWithSection(".zentaro_version", block);
    const QByteArray elfBytes(reinterpret_cast<const char*>(elf.data()), int(elf.size()));
    const Bytes other = testing::MakeElfWithSection(".zentaro_versions", block);
    QTest::newRow("block") << elfBytes << int(block.size()) << 0;
    QTest::newRow("other section name")
        << QByteArray(reinterpret_cast<const char*>(other.data()), int(other.size())) << 0
        << ENODATA;
    QTest::newRow("ELF cut inside its headers")
        << elfBytes.left(int(elf.size()) - 10) << 0 << ENODATA;
    QTest::newRow("ELF header only") << elfBytes.left(64) << 0 << ENODATA;
    QTest::newRow("text file") << QByteArray("just some text, long enough to be an ELF header "
                                             "if it were one\n")
                               << 0 << ENOEXEC;
    QTest::newRow("empty file") << QByteArray() << 0 << ENOEXEC;
    QTest::newRow("missing file") << QByteArray("<missing>") << 0 << ENOENT;
    QTest::newRow("folder") << QByteArray("<folder>") << 0 << EISDIR;
    QTest::newRow("FIFO") << QByteArray("<fifo>") << 0 << ENOEXEC;
    QTest::newRow("link to a device") << QByteArray("<device>") << 0 << ENOEXEC;
}

void TestPlatformLinux::versionSection() {
    QFETCH(QByteArray, contents);
    QFETCH(int, size);
    QFETCH(int, error);
    const QString path = tmp_.filePath(QTest::currentDataTag());
    if (contents == "<folder>")
        QVERIFY(QDir().mkpath(path));
    else if (contents == "<fifo>")
        QVERIFY(testing::MakeFifo(path));
    else if (contents == "<device>")
        QVERIFY(testing::MakeDeviceLink(path));
    else if (contents != "<missing>")
        QVERIFY(testing::WriteFile(path.toStdString(), FromQByteArray(contents)));

    const auto resources = CreateVersionResource();
    int sizeCode = -1;
    int readCode = -1;
    std::uint32_t blockSize = 0;
    bool read = false;
    Bytes buffer(std::max(size, 1));
    QVERIFY(testing::FinishesInTime(
        [&] {
            blockSize = resources->BlockSize(path.toStdString(), sizeCode);
            read = resources->ReadBlock(path.toStdString(), buffer, readCode);
        },
        {path}));
    QCOMPARE(int(blockSize), size);
    QCOMPARE(sizeCode, error);
    QCOMPARE(read, size > 0);
    QCOMPARE(readCode, error);
    if (size > 0) {
        QCOMPARE(buffer, SmallBlock());
        const auto company =
            resources->QueryValue(buffer, "\\StringFileInfo\\040904b0\\CompanyName");
        QVERIFY(company);
        QCOMPARE(versionblock::TextOf(*company), std::string("KESTRIX"));
    } else {
        QVERIFY(!resources->ErrorText(error).empty());
    }
}

// Section headers that point anywhere: the finder never reads outside the
// file and never hands out a section that is not all inside it.
void TestPlatformLinux::damagedElf() {
    const Bytes good = testing::MakeElfWithSection(".zentaro_version", SmallBlock());
    QVERIFY(FindInMemory(good));
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        Bytes f = good;
        for (int d = 0; d < 1 + int(random() % 4); ++d) {
            const std::size_t at = random() % f.size();
            const int width = 1 << (random() % 4); // one field of 1 to 8 bytes
            for (int i = 0; i < width && at + i < f.size(); ++i)
                f[at + i] = random() % 3 == 0 ? 0xFF : static_cast<std::uint8_t>(random());
        }
        if (random() % 4 == 0)
            f.resize(random() % f.size());
        const auto s = FindInMemory(f);
        QVERIFY2(!s || (s->offset <= f.size() && s->size <= f.size() - s->offset),
                 qPrintable(QString("round %1").arg(round)));
    }
}

// The processor key from odd /proc/cpuinfo and sysfs contents.
void TestPlatformLinux::processorKey_data() {
    QTest::addColumn<QByteArray>("cpuinfo");
    QTest::addColumn<QByteArray>("baseFrequency"); // kHz; empty: no file
    QTest::addColumn<QByteArray>("nominalFreq");   // MHz; empty: no file
    QTest::addColumn<QString>("name");             // "<none>": no value
    QTest::addColumn<int>("mhz");                  // -1: no value
    const QByteArray vm = "processor\t: 0\nmodel name\t: Plain CPU\ncpu MHz\t\t: 2599.998\n\n";
    QTest::newRow("blanks kept as they stand")
        << QByteArray("processor\t: 0\nmodel name\t:   Odd  CPU  \ncpu MHz\t\t: 1000.4\n\n")
        << QByteArray() << QByteArray() << "  Odd  CPU  " << 1000;
    QTest::newRow("empty name, half rounds up")
        << QByteArray("processor\t: 0\nmodel name\t:\ncpu MHz\t\t: 999.5\n") << QByteArray()
        << QByteArray() << "" << 1000;
    QTest::newRow("name only in the second processor")
        << QByteArray("processor\t: 0\ncpu MHz\t\t: 800.000\n\nprocessor\t: 1\n"
                      "model name\t: Second\n\n")
        << QByteArray() << QByteArray() << "<none>" << 800;
    QTest::newRow("unreadable speed") << QByteArray("model name\t: A\ncpu MHz\t\t: fast\n\n")
                                      << QByteArray() << QByteArray() << "A" << -1;
    QTest::newRow("speed beyond 32 bits")
        << QByteArray("model name\t: A\ncpu MHz\t\t: 5000000000.0\n") << QByteArray()
        << QByteArray() << "A" << -1;
    QTest::newRow("base frequency first")
        << vm << QByteArray("3800000\n") << QByteArray("3700\n") << "Plain CPU" << 3800;
    QTest::newRow("base frequency rounds")
        << vm << QByteArray("2899500\n") << QByteArray() << "Plain CPU" << 2900;
    QTest::newRow("zero base frequency falls through")
        << vm << QByteArray("0\n") << QByteArray("3700\n") << "Plain CPU" << 3700;
    QTest::newRow("broken nominal falls through")
        << vm << QByteArray() << QByteArray("n/a\n") << "Plain CPU" << 2600;
    QTest::newRow("no cpuinfo, sysfs speed")
        << QByteArray("<none>") << QByteArray("2000000") << QByteArray() << "<none>" << 2000;
}

void TestPlatformLinux::processorKey() {
    QFETCH(QByteArray, cpuinfo);
    QFETCH(QByteArray, baseFrequency);
    QFETCH(QByteArray, nominalFreq);
    QFETCH(QString, name);
    QFETCH(int, mhz);
    const QString root = tmp_.filePath(QString("key-") + QTest::currentDataTag());
    const QString cpu0 = root + "/sys/devices/system/cpu/cpu0";
    if (cpuinfo != "<none>")
        QVERIFY(WriteText(root + "/proc/cpuinfo", cpuinfo));
    if (!baseFrequency.isEmpty())
        QVERIFY(WriteText(cpu0 + "/cpufreq/base_frequency", baseFrequency));
    if (!nominalFreq.isEmpty())
        QVERIFY(WriteText(cpu0 + "/acpi_cppc/nominal_freq", nominalFreq));

    const auto key = CreateSystemRegistry(root.toStdString())
                         ->OpenKeyReadOnly(RegistryRoot::LocalMachine, kProcessorKeyPath);
    QVERIFY(key);
    QCOMPARE(key->ValueExists("ProcessorNameString"), name != "<none>");
    if (name != "<none>")
        QCOMPARE(QString::fromStdString(key->ReadString("ProcessorNameString")), name);
    QCOMPARE(key->ValueExists("~MHz"), mhz >= 0);
    if (mhz >= 0)
        QCOMPARE(int(key->ReadInteger("~MHz")), mhz);
}

void TestPlatformLinux::otherKeysDoNotExist() {
    const QString root = QStringLiteral(ZENTARO_TEST_DATA "/machines/vm");
    const auto registry = CreateSystemRegistry(root.toStdString());
    QVERIFY(registry->OpenKeyReadOnly(RegistryRoot::LocalMachine,
                                      "hardware\\description\\system\\centralprocessor\\0"));
    QVERIFY(!registry->OpenKeyReadOnly(RegistryRoot::CurrentUser, kProcessorKeyPath));
    QVERIFY(!registry->OpenKeyReadOnly(RegistryRoot::LocalMachine,
                                       "\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\1"));
    QVERIFY(!registry->OpenKeyReadOnly(RegistryRoot::LocalMachine,
                                       "\\SOFTWARE\\Microsoft\\Cryptography"));
    // Nothing at all to read: the key is missing.
    QVERIFY(!CreateSystemRegistry(tmp_.filePath("empty-root").toStdString())
                 ->OpenKeyReadOnly(RegistryRoot::LocalMachine, kProcessorKeyPath));
}

// Each sample reads the files again, and each source stands in for the one before.
void TestPlatformLinux::clockReadsAfresh() {
    const QString root = tmp_.filePath("clock");
    const QString cur = root + "/sys/devices/system/cpu/cpu0/cpufreq/scaling_cur_freq";
    const auto clock = CreateClockSpeedSource(root.toStdString());
    QCOMPARE(clock->QueryCurrentClockSpeed(), -1);
    QVERIFY(WriteText(root + "/proc/cpuinfo", "processor\t: 0\ncpu MHz\t\t: 1199.7\n\n"));
    QCOMPARE(clock->QueryCurrentClockSpeed(), 1200);
    QVERIFY(WriteText(cur, "3400100\n"));
    QCOMPARE(clock->QueryCurrentClockSpeed(), 3400);
    QVERIFY(WriteText(cur, "0\n"));
    QCOMPARE(clock->QueryCurrentClockSpeed(), 0); // a valid sample
    QVERIFY(WriteText(cur, "garbage\n"));
    QCOMPARE(clock->QueryCurrentClockSpeed(), 1200);
    QVERIFY(QFile::remove(cur) && QFile::remove(root + "/proc/cpuinfo"));
    QCOMPARE(clock->QueryCurrentClockSpeed(), -1);
}

// kHz figures at and past the limits of the numbers they become: a figure that
// does not fit counts as absent and the next source is asked.
void TestPlatformLinux::kilohertzNearTheLimits_data() {
    QTest::addColumn<QByteArray>("khz"); // base_frequency and scaling_cur_freq alike
    QTest::addColumn<bool>("nominal");   // acpi_cppc/nominal_freq of 3700 MHz present
    QTest::addColumn<QString>("base");   // ~MHz
    QTest::addColumn<int>("current");
    QTest::newRow("64-bit limit") << QByteArray("9223372036854775807\n") << true << "3700" << 2600;
    QTest::newRow("64-bit limit, then cpu MHz")
        << QByteArray("9223372036854775807\n") << false << "2600" << 2600;
    QTest::newRow("past 64 bits") << QByteArray("9223372036854775808\n") << true << "3700" << 2600;
    QTest::newRow("largest 32-bit MHz")
        << QByteArray("4294967295499\n") << true << "4294967295" << 2600;
    QTest::newRow("rounds past 32-bit MHz")
        << QByteArray("4294967295500\n") << true << "3700" << 2600;
    QTest::newRow("largest int MHz")
        << QByteArray("2147483647499\n") << true << "2147483647" << 2147483647;
    QTest::newRow("rounds past int MHz")
        << QByteArray("2147483647500\n") << true << "2147483648" << 2600;
    QTest::newRow("negative") << QByteArray("-3800000\n") << true << "3700" << 2600;
}

void TestPlatformLinux::kilohertzNearTheLimits() {
    QFETCH(QByteArray, khz);
    QFETCH(bool, nominal);
    QFETCH(QString, base);
    QFETCH(int, current);
    const QString root = tmp_.filePath(QString("limits-") + QTest::currentDataTag());
    const QString cpu0 = root + "/sys/devices/system/cpu/cpu0";
    QVERIFY(WriteText(root + "/proc/cpuinfo", "processor\t: 0\ncpu MHz\t\t: 2599.998\n\n"));
    QVERIFY(WriteText(cpu0 + "/cpufreq/base_frequency", khz));
    QVERIFY(WriteText(cpu0 + "/cpufreq/scaling_cur_freq", khz));
    if (nominal)
        QVERIFY(WriteText(cpu0 + "/acpi_cppc/nominal_freq", "3700\n"));

    const auto key = CreateSystemRegistry(root.toStdString())
                         ->OpenKeyReadOnly(RegistryRoot::LocalMachine, kProcessorKeyPath);
    QVERIFY(key && key->ValueExists("~MHz"));
    QCOMPARE(QString::number(key->ReadInteger("~MHz")), base);
    QCOMPARE(CreateClockSpeedSource(root.toStdString())->QueryCurrentClockSpeed(), current);
}

// A machine-fact file that is a FIFO, a device or too large counts as absent:
// nothing waits on it or reads it whole, and the next source is asked.
void TestPlatformLinux::specialMachineFiles_data() {
    QTest::addColumn<QString>("file"); // under the root
    QTest::addColumn<QString>("kind"); // fifo, device, large
    QTest::addColumn<QString>("name"); // "<none>": no value
    QTest::addColumn<int>("base");
    QTest::addColumn<int>("current");
    const QString cpuinfo = "/proc/cpuinfo";
    const QString cpufreq = "/sys/devices/system/cpu/cpu0/cpufreq/";
    const QString nominal = "/sys/devices/system/cpu/cpu0/acpi_cppc/nominal_freq";
    // Regular files: cpuinfo of 2600 MHz, nominal_freq 3700, scaling_cur_freq 3400000.
    QTest::newRow("cpuinfo FIFO") << cpuinfo << "fifo"
                                  << "<none>" << 3700 << 3400;
    QTest::newRow("cpuinfo device") << cpuinfo << "device"
                                    << "<none>" << 3700 << 3400;
    QTest::newRow("base_frequency FIFO") << cpufreq + "base_frequency"
                                         << "fifo"
                                         << "Plain CPU" << 3700 << 3400;
    QTest::newRow("base_frequency device") << cpufreq + "base_frequency"
                                           << "device"
                                           << "Plain CPU" << 3700 << 3400;
    QTest::newRow("base_frequency past the cap") << cpufreq + "base_frequency"
                                                 << "large"
                                                 << "Plain CPU" << 3700 << 3400;
    QTest::newRow("nominal_freq FIFO") << nominal << "fifo"
                                       << "Plain CPU" << 2600 << 3400;
    QTest::newRow("scaling_cur_freq FIFO") << cpufreq + "scaling_cur_freq"
                                           << "fifo"
                                           << "Plain CPU" << 3700 << 2600;
    QTest::newRow("scaling_cur_freq device") << cpufreq + "scaling_cur_freq"
                                             << "device"
                                             << "Plain CPU" << 3700 << 2600;
}

void TestPlatformLinux::specialMachineFiles() {
    QFETCH(QString, file);
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(int, base);
    QFETCH(int, current);
    const QString root = tmp_.filePath(QString("special-") + QTest::currentDataTag());
    const QString cpu0 = root + "/sys/devices/system/cpu/cpu0";
    const std::pair<QString, QByteArray> regular[] = {
        {root + "/proc/cpuinfo",
         "processor\t: 0\nmodel name\t: Plain CPU\ncpu MHz\t\t: 2599.998\n\n"},
        {cpu0 + "/acpi_cppc/nominal_freq", "3700\n"},
        {cpu0 + "/cpufreq/scaling_cur_freq", "3400000\n"},
    };
    const QString special = root + file;
    for (const auto& [path, text] : regular) {
        if (path != special)
            QVERIFY(WriteText(path, text));
    }
    QVERIFY(QDir().mkpath(QFileInfo(special).absolutePath()));
    if (kind == "fifo")
        QVERIFY(testing::MakeFifo(special));
    else if (kind == "device")
        QVERIFY(testing::MakeDeviceLink(special));
    else // a number the reader would take if it read past the cap
        QVERIFY(WriteText(special, "3800000" + QByteArray(8 * 1024, ' ')));

    std::unique_ptr<RegistryKey> key;
    int sample = -2;
    QVERIFY(testing::FinishesInTime(
        [&] {
            key = CreateSystemRegistry(root.toStdString())
                      ->OpenKeyReadOnly(RegistryRoot::LocalMachine, kProcessorKeyPath);
            sample = CreateClockSpeedSource(root.toStdString())->QueryCurrentClockSpeed();
        },
        {special}));
    QVERIFY(key);
    QCOMPARE(key->ValueExists("ProcessorNameString"), name != "<none>");
    if (name != "<none>")
        QCOMPARE(QString::fromStdString(key->ReadString("ProcessorNameString")), name);
    QCOMPARE(int(key->ReadInteger("~MHz")), base);
    QCOMPARE(sample, current);
}

// Whole regular files up to the cap, and nothing else.
void TestPlatformLinux::readRegularFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("size"); // of a regular file
    QTest::addColumn<bool>("read");
    const int cap = 100 * 1024; // more than one read's worth
    QTest::newRow("empty") << "regular" << 0 << true;
    QTest::newRow("at the cap") << "regular" << cap << true;
    QTest::newRow("one past the cap") << "regular" << cap + 1 << false;
    QTest::newRow("sparse, far past the cap") << "sparse" << 0 << false;
    QTest::newRow("link to a regular file") << "link" << 10 << true;
    QTest::newRow("FIFO") << "fifo" << 0 << false;
    QTest::newRow("link to a device") << "device" << 0 << false;
    QTest::newRow("folder") << "folder" << 0 << false;
    QTest::newRow("missing") << "missing" << 0 << false;
}

void TestPlatformLinux::readRegularFile() {
    QFETCH(QString, kind);
    QFETCH(int, size);
    QFETCH(bool, read);
    const std::size_t cap = 100 * 1024;
    const QString path = tmp_.filePath(QString("whole-") + QTest::currentDataTag());
    QByteArray contents(size, '\0');
    for (int i = 0; i < size; ++i)
        contents[i] = char('a' + i % 26);
    if (kind == "regular") {
        QVERIFY(WriteText(path, contents));
    } else if (kind == "link") {
        QVERIFY(WriteText(path + ".target", contents));
        QVERIFY(QFile::link(path + ".target", path));
    } else if (kind == "sparse") {
        QVERIFY(testing::MakeSparseFile(path, qint64(1) << 30, "head"));
    } else if (kind == "fifo") {
        QVERIFY(testing::MakeFifo(path));
    } else if (kind == "device") {
        QVERIFY(testing::MakeDeviceLink(path));
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(path));
    }
    std::optional<std::string> got;
    QVERIFY(
        testing::FinishesInTime([&] { got = ReadRegularFile(path.toStdString(), cap); }, {path}));
    QCOMPARE(got.has_value(), read);
    if (read)
        QCOMPARE(QByteArray::fromStdString(*got), contents);
}

// A new file in place of whatever had the name, never written through it.
void TestPlatformLinux::writeNewFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("written");
    QTest::newRow("nothing there") << "missing" << true;
    QTest::newRow("longer file") << "regular" << true;
    QTest::newRow("FIFO") << "fifo" << true;
    QTest::newRow("link to another file") << "link" << true;
    QTest::newRow("link to nowhere") << "dangling" << true;
    QTest::newRow("link to a device") << "device" << true;
    QTest::newRow("folder") << "folder" << false;
}

void TestPlatformLinux::writeNewFile() {
    QFETCH(QString, kind);
    QFETCH(bool, written);
    QTemporaryDir dir;
    const QString path = dir.filePath("start.sh");
    const QString other = dir.filePath("other");
    QVERIFY(WriteText(other, "someone else's\n"));
    if (kind == "regular")
        QVERIFY(WriteText(path, QByteArray(500, 'x')));
    else if (kind == "fifo")
        QVERIFY(testing::MakeFifo(path));
    else if (kind == "link")
        QVERIFY(QFile::link(other, path));
    else if (kind == "dangling")
        QVERIFY(QFile::link(dir.filePath("nowhere"), path));
    else if (kind == "device") {
        if (testing::ExpendableNullDevice().isEmpty())
            QSKIP("no null device that a faulty writer may replace");
        QVERIFY(testing::MakeDeviceLink(path, testing::ExpendableNullDevice()));
    } else if (kind == "folder")
        QVERIFY(QDir(dir.path()).mkdir("start.sh"));
    bool ok = false;
    std::string error;
    QVERIFY(testing::FinishesInTime([&] { ok = WriteNewFile(path.toStdString(), "new\n", error); },
                                    {path}, std::chrono::seconds(10)));
    QCOMPARE(ok, written);
    QCOMPARE(error.empty(), written);
    // What a link led to is as it was, and no file appears where it pointed.
    QCOMPARE(ReadAll(other), QByteArray("someone else's\n"));
    QVERIFY(!QFileInfo::exists(dir.filePath("nowhere")));
    QCOMPARE(QFileInfo(path).isSymLink(), false);
    if (written) {
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(ReadAll(path), QByteArray("new\n"));
    } else {
        QVERIFY(QFileInfo(path).isDir());
    }
    for (const QString& device : {QStringLiteral("/dev/null"), testing::ExpendableNullDevice()}) {
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(device).constData(), &st), 0);
        QVERIFY(S_ISCHR(st.st_mode));
    }
}

// The system's folders, under a fixture root, and folders of another owner.
void TestPlatformLinux::systemFolders_data() {
    QTest::addColumn<QString>("folder"); // under the fixture root
    QTest::addColumn<bool>("system");
    QTest::newRow("/usr/bin") << "usr/bin" << true;
    QTest::newRow("/usr/local/bin") << "usr/local/bin" << true;
    QTest::newRow("/usr itself") << "usr" << true;
    QTest::newRow("/sbin") << "sbin" << true;
    QTest::newRow("/lib64/x") << "lib64/x" << true;
    QTest::newRow("/opt/zentaro, own") << "opt/zentaro" << false;
    QTest::newRow("/usrlocal, own") << "usrlocal" << false;
    QTest::newRow("link into /usr") << "home/link" << true;
    QTest::newRow("owned by nobody") << "home/nobody" << true;
    QTest::newRow("missing") << "home/missing" << true;
}

void TestPlatformLinux::systemFolders() {
    QFETCH(QString, folder);
    QFETCH(bool, system);
    QTemporaryDir root;
    for (const char* made :
         {"usr/bin", "usr/local/bin", "sbin", "lib64/x", "opt/zentaro", "usrlocal", "home/nobody"})
        QVERIFY(QDir(root.path()).mkpath(made));
    QVERIFY(QFile::link(root.filePath("usr/bin"), root.filePath("home/link")));
    if (folder == "home/nobody" &&
        ::chown(QFile::encodeName(root.filePath(folder)).constData(), 65534, 65534) != 0)
        QSKIP("The folder cannot be given to another user here");
    const auto folders = CreateDataFolders(root.path().toStdString());
    QCOMPARE(folders->IsSystemFolder(root.filePath(folder).toStdString()), system);
    QCOMPARE(folders->IsSystemFolder((root.filePath(folder) + "/").toStdString()), system);
    // The real system's folders on this machine, whatever the fixture.
    QVERIFY(CreateDataFolders()->IsSystemFolder("/usr/bin"));
}

// The running image opens the executable file itself, and the folder is that
// file's folder.
void TestPlatformLinux::runningImage() {
    const std::string path = CurrentExecutablePath();
    QVERIFY(!path.empty());
    struct stat byPath {};
    struct stat byImage {};
    QCOMPARE(::stat(path.c_str(), &byPath), 0);
    QCOMPARE(::stat(RunningExecutableImage().c_str(), &byImage), 0);
    QCOMPARE(byImage.st_dev, byPath.st_dev);
    QCOMPARE(byImage.st_ino, byPath.st_ino);
    QCOMPARE(QString::fromStdString(ExecutableFolder()),
             QFileInfo(QString::fromStdString(path)).absolutePath());
    QCOMPARE(QFileInfo(QString::fromStdString(ExecutableFolder())).canonicalFilePath(),
             QFileInfo(QStringLiteral(ZENTARO_BIN_DIR "/tests")).canonicalFilePath());
}

void TestPlatformLinux::architecture_data() {
    QTest::addColumn<QString>("machine");
    QTest::addColumn<int>("code");
    QTest::newRow("x86_64") << "x86_64" << int(kArchitectureAmd64);
    QTest::newRow("i686") << "i686" << int(kArchitectureIntel);
    QTest::newRow("i386") << "i386" << int(kArchitectureIntel);
    QTest::newRow("armv7l") << "armv7l" << int(kArchitectureArm);
    QTest::newRow("aarch64") << "aarch64" << int(kArchitectureArm64);
    QTest::newRow("riscv64") << "riscv64" << int(kArchitectureUnknown);
    QTest::newRow("empty") << "" << int(kArchitectureUnknown);
}

void TestPlatformLinux::architecture() {
    QFETCH(QString, machine);
    QFETCH(int, code);
    const linux_impl::LinuxSystemInfo info(machine.toStdString(), 16);
    QCOMPARE(int(info.Basic().architecture), code);
    QCOMPARE(info.Basic().logicalProcessors, 16u);
}

// The live count is that of the affinity mask, so a narrowed mask narrows it.
void TestPlatformLinux::affinityCount() {
    const std::uint32_t all = CreateSystemInfo()->Basic().logicalProcessors;
    QVERIFY(all >= 1);
    QVERIFY(all <= std::uint32_t(sysconf(_SC_NPROCESSORS_CONF)));
    if (all < 2)
        QSKIP("needs two processors to narrow the affinity mask");
    cpu_set_t saved;
    QCOMPARE(sched_getaffinity(0, sizeof saved, &saved), 0);
    int first = 0;
    while (!CPU_ISSET(first, &saved))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    QCOMPARE(sched_setaffinity(0, sizeof one, &one), 0);
    const std::uint32_t narrowed = CreateSystemInfo()->Basic().logicalProcessors;
    sched_setaffinity(0, sizeof saved, &saved);
    QCOMPARE(narrowed, 1u);
}

void TestPlatformLinux::kernelRelease_data() {
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QString>("release"); // empty: nothing said
    const QString file = "proc/sys/kernel/osrelease=";
    QTest::newRow("as the kernel writes it")
        << QStringList{file + "6.1.0-18-amd64\\n"} << "6.1.0-18-amd64";
    // Under a fixture root uname() must not answer for the machine the test
    // runs on.
    QTest::newRow("empty") << QStringList{file} << "";
    QTest::newRow("missing") << QStringList{"proc/sys/kernel/"} << "";
    QTest::newRow("a folder in its place") << QStringList{"proc/sys/kernel/osrelease/"} << "";
    QTest::newRow("a FIFO in its place") << QStringList{file + "<fifo>"} << "";
}

void TestPlatformLinux::kernelRelease() {
    QFETCH(QStringList, tree);
    QFETCH(QString, release);
    QStringList fifos;
    QVERIFY(BuildTree(Root(), tree, &fifos));
    std::optional<std::string> got;
    QVERIFY(testing::FinishesInTime(
        [&] { got = CreateKernelRelease(Root().toStdString())->Release(); }, fifos));
    QCOMPARE(QString::fromStdString(got.value_or("")), release);
    QVERIFY(!got || !got->empty());
}

void TestPlatformLinux::liveKernelRelease() {
    const auto release = CreateKernelRelease()->Release();
    QVERIFY(release);
    QCOMPARE(QString::fromStdString(*release), QSysInfo::kernelVersion());
}

void TestPlatformLinux::physicalCores_data() {
    QTest::addColumn<QStringList>("tree"); // or one entry "machine:<name>" of tests/data/machines
    QTest::addColumn<int>("cores");        // -1: nothing said
    const QString cpu = "sys/devices/system/cpu/cpu";
    auto siblings = [&](const QString& file, const QStringList& lists) {
        QStringList tree;
        for (int i = 0; i < lists.size(); ++i)
            tree << cpu + QString::number(i) + "/topology/" + file + "=" + lists[i] + "\\n";
        return tree;
    };
    auto cpuinfo = [](const QList<QPair<int, int>>& packageAndCore, const QString& extra = {}) {
        QString text;
        for (int i = 0; i < packageAndCore.size(); ++i)
            text += QString("processor : %1\\nphysical id : %2\\ncore id: %3\\n\\n")
                        .arg(i)
                        .arg(packageAndCore[i].first)
                        .arg(packageAndCore[i].second);
        return "proc/cpuinfo=" + text + extra;
    };
    QTest::newRow("two threads per core")
        << siblings("core_cpus_list", {"0,2", "1,3", "0,2", "1,3"}) << 2;
    QTest::newRow("kernels before 5.7")
        << siblings("thread_siblings_list", {"0-1", "0-1", "2-3", "2-3"}) << 2;
    // Core ids that start again on every die of one package do not merge cores.
    QTest::newRow("core ids repeat across dies")
        << siblings("core_cpus_list", {"0", "1", "2", "3"}) +
               QStringList{cpu + "0/topology/core_id=0", cpu + "1/topology/core_id=1",
                           cpu + "2/topology/core_id=0", cpu + "3/topology/core_id=1"}
        << 4;
    QTest::newRow("an offline processor left out")
        << siblings("core_cpus_list", {"0", "1"}) + QStringList{cpu + "2/online=0\\n"} << 2;
    QTest::newRow("an online one counted")
        << siblings("core_cpus_list", {"0", "1", "2"}) + QStringList{cpu + "2/online=1\\n"} << 3;
    // One processor without its siblings: sysfs cannot count, cpuinfo can.
    QTest::newRow("sysfs incomplete, cpuinfo")
        << siblings("core_cpus_list", {"0"}) +
               QStringList{cpu + "1/", cpuinfo({{0, 0}, {0, 0}, {0, 1}})}
        << 2;
    QTest::newRow("cpuinfo: core ids start again in each package")
        << QStringList{cpuinfo({{0, 0}, {0, 1}, {1, 0}, {1, 1}})} << 4;
    QTest::newRow("cpuinfo: hyperthreads")
        << QStringList{cpuinfo({{0, 0}, {0, 1}, {0, 0}, {0, 1}})} << 2;
    QTest::newRow("cpuinfo: a block about the board")
        << QStringList{cpuinfo({{0, 0}, {0, 1}}, "Hardware : Some Board\\n")} << 2;
    QTest::newRow("cpuinfo: a processor without its core")
        << QStringList{cpuinfo({{0, 0}}, "processor : 1\\nphysical id : 0\\n")} << -1;
    QTest::newRow("cpuinfo: a FIFO") << QStringList{"proc/cpuinfo=<fifo>"} << -1;
    QTest::newRow("nothing") << QStringList{"proc/"} << -1;
    QTest::newRow("two sockets") << QStringList{"machine:two-sockets"} << 4;
    QTest::newRow("ARM board") << QStringList{"machine:arm-board"} << -1;
    QTest::newRow("virtual machine without ids") << QStringList{"machine:kvm-guest"} << -1;
}

void TestPlatformLinux::physicalCores() {
    QFETCH(QStringList, tree);
    QFETCH(int, cores);
    QString root = Root();
    QStringList fifos;
    if (tree.size() == 1 && tree[0].startsWith("machine:"))
        root = QStringLiteral(ZENTARO_TEST_DATA "/machines/") + tree[0].mid(8);
    else
        QVERIFY(BuildTree(root, tree, &fifos));
    std::optional<unsigned> got;
    QVERIFY(testing::FinishesInTime(
        [&] { got = CreateProcessorTopology(root.toStdString())->PhysicalCores(); }, fifos));
    QCOMPARE(got ? int(*got) : -1, cores);
}

QTEST_GUILESS_MAIN(TestPlatformLinux)
#include "test_platform_linux.moc"
