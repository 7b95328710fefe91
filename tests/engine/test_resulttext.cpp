#include "engine/resulttext.h"

#include <QtTest>

using namespace zentaro;

class TestResultText : public QObject {
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
};

void TestResultText::texts_data() {
    QTest::addColumn<bool>("speed"); // false: elapsed time in seconds
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("separator");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("2.5 s") << false << 2.5 << QByteArray(".") << QByteArray("2.50 sec");
    QTest::newRow("comma") << false << 2.5 << QByteArray(",") << QByteArray("2,50 sec");
    // U+066B ARABIC DECIMAL SEPARATOR, two bytes in UTF-8.
    QTest::newRow("multi-byte separator") << false << 2.5 << QByteArray("\xd9\xab")
                                          << QByteArray("2\xd9\xab"
                                                        "50 sec");
    QTest::newRow("1.234 s") << false << 1.234 << QByteArray(".") << QByteArray("1.23 sec");
    // 0.005 is stored a little above 0.005, 2.675 a little below 2.675.
    QTest::newRow("0.005 up") << false << 0.005 << QByteArray(".") << QByteArray("0.01 sec");
    QTest::newRow("2.675 down") << false << 2.675 << QByteArray(",") << QByteArray("2,67 sec");
    // Exact ties go to the even digit.
    QTest::newRow("0.125 tie") << false << 0.125 << QByteArray(".") << QByteArray("0.12 sec");
    QTest::newRow("0.375 tie") << false << 0.375 << QByteArray(".") << QByteArray("0.38 sec");
    QTest::newRow("zero") << false << 0.0 << QByteArray(",") << QByteArray("0,00 sec");
    QTest::newRow("no thousands separators")
        << false << 1234567.891 << QByteArray(",") << QByteArray("1234567,89 sec");
    QTest::newRow("40 million ops/sec")
        << true << 40'000'000.0 << QByteArray(".") << QByteArray("40.00 million ops/sec");
    QTest::newRow("200 million ops/sec, comma")
        << true << 200'000'000.0 << QByteArray(",") << QByteArray("200,00 million ops/sec");
    QTest::newRow("under a million")
        << true << 123'456.0 << QByteArray(".") << QByteArray("0.12 million ops/sec");
    QTest::newRow("huge speed") << true << 1.5e18 << QByteArray(".")
                                << QByteArray("1500000000000.00 million ops/sec");
    QTest::newRow("speed rounds") << true << 1'234'567.0 << QByteArray("\xd9\xab")
                                  << QByteArray("1\xd9\xab"
                                                "23 million ops/sec");
}

// The texts never depend on the process's locale; the separator is the caller's.
void TestResultText::texts() {
    QFETCH(bool, speed);
    QFETCH(double, value);
    QFETCH(QByteArray, separator);
    QFETCH(QByteArray, text);
    const std::string sep = separator.toStdString();
    const std::string shown = speed ? SpeedText(value, sep) : ElapsedText(value, sep);
    QCOMPARE(QByteArray::fromStdString(shown), text);
}

QTEST_GUILESS_MAIN(TestResultText)
#include "test_resulttext.moc"
