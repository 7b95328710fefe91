#include "platform/coreentries.h"

#include <QtTest>

using zentaro::platform::CountCoreEntries;

namespace {

// One entry as Windows lays it out: relationship and size, little-endian,
// then the rest of the entry (zeros here).
QByteArray Entry(quint32 relationship, quint32 size, qsizetype length = -1) {
    QByteArray bytes(length < 0 ? qsizetype(size) : length, '\0');
    for (int i = 0; i < 4 && i < bytes.size(); ++i)
        bytes[i] = char((relationship >> (8 * i)) & 0xFF);
    for (int i = 0; i < 4 && 4 + i < bytes.size(); ++i)
        bytes[4 + i] = char((size >> (8 * i)) & 0xFF);
    return bytes;
}

// Sizes of real entries: a core of one processor group, a package of two,
// a cache; the largest entry of all is 80 bytes.
constexpr quint32 kCore = 0, kPackage = 3, kCache = 2;
constexpr quint32 kCoreSize = 48, kPackageSize = 64, kCacheSize = 56, kLargestSize = 80;

QByteArray Cores(int count) {
    QByteArray list;
    for (int i = 0; i < count; ++i)
        list += Entry(kCore, kCoreSize);
    return list;
}

} // namespace

class TestCoreEntries : public QObject {
    Q_OBJECT

private slots:
    void count_data();
    void count();
};

void TestCoreEntries::count_data() {
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<int>("cores"); // 0: nothing said
    QTest::newRow("one core") << Cores(1) << 1;
    QTest::newRow("two cores") << Cores(2) << 2;
    QTest::newRow("sixteen cores") << Cores(16) << 16;
    QTest::newRow("entries of the largest size")
        << Entry(kCore, kLargestSize) + Entry(kCore, kLargestSize) << 2;
    QTest::newRow("other relationships between the cores")
        << Entry(kPackage, kPackageSize) + Cores(2) + Entry(kCache, kCacheSize) + Cores(1) << 3;
    QTest::newRow("no core") << Entry(kPackage, kPackageSize) << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("a last entry cut short") << Cores(2) + Entry(kCore, kCoreSize, 20) << 2;
    QTest::newRow("a last header cut short") << Cores(2) + Entry(kCore, kCoreSize, 6) << 2;
    QTest::newRow("a size of zero ends the walk") << Cores(1) + Entry(kCore, 0, 48) + Cores(1) << 1;
    QTest::newRow("a size below the header's") << Entry(kCore, 7, 48) << 0;
    QTest::newRow("a size past the end") << Cores(1) + Entry(kCore, 4096, 48) << 1;
}

void TestCoreEntries::count() {
    QFETCH(QByteArray, list);
    QFETCH(int, cores);
    const auto* data = reinterpret_cast<const unsigned char*>(list.constData());
    const std::optional<unsigned> counted = CountCoreEntries(data, std::size_t(list.size()));
    QCOMPARE(counted.value_or(0), unsigned(cores));
    QCOMPARE(counted.has_value(), cores > 0);
}

QTEST_GUILESS_MAIN(TestCoreEntries)
#include "test_coreentries.moc"
