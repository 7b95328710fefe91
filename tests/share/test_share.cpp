// The export report's lines and the share addresses, pinned down byte for byte.
#include "share/report.h"
#include "share/sharelinks.h"

#include <QTest>

using namespace zentaro::share;

class TestShare : public QObject {
    Q_OBJECT

private slots:
    void encoding_data();
    void encoding();
    void slug_data();
    void slug();
    void addresses();
    void sentence_data();
    void sentence();
    void dateTime_data();
    void dateTime();
    void reportLines();
    void suggestedFile_data();
    void suggestedFile();
    void savedBytes_data();
    void savedBytes();
};

void TestShare::encoding_data() {
    QTest::addColumn<QByteArray>("input"); // UTF-8
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("letters and digits") << QByteArray("AZaz09") << QByteArray("AZaz09");
    QTest::newRow("kept marks") << QByteArray("!$'()*-.@_") << QByteArray("!$'()*-.@_");
    QTest::newRow("space") << QByteArray("a b") << QByteArray("a+b");
    QTest::newRow("colon and slashes")
        << QByteArray("https://h/") << QByteArray("https%3A%2F%2Fh%2F");
    QTest::newRow("plus is escaped") << QByteArray("+") << QByteArray("%2B");
    QTest::newRow("percent is escaped") << QByteArray("%") << QByteArray("%25");
    QTest::newRow("tilde is escaped") << QByteArray("~") << QByteArray("%7E");
    QTest::newRow("query marks") << QByteArray("?&=#,") << QByteArray("%3F%26%3D%23%2C");
    QTest::newRow("control characters") << QByteArray("\x01\t\x7f") << QByteArray("%01%09%7F");
    QTest::newRow("accented letter") << QByteArray("\xC3\xA9") << QByteArray("%C3%A9");
    QTest::newRow("outside the BMP")
        << QByteArray("\xF0\x9F\x98\x80") << QByteArray("%F0%9F%98%80");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestShare::encoding() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, encoded);
    QCOMPARE(QByteArray::fromStdString(EncodeQueryComponent(input.toStdString())), encoded);
}

void TestShare::slug_data() {
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("slug");
    QTest::newRow("one word") << "Zentaro"
                              << "zentaro";
    QTest::newRow("two words") << "Alpha Beta"
                               << "alpha-beta";
    QTest::newRow("blanks in a row") << "Zentaro  CPU   Bench"
                                     << "zentaro--cpu---bench";
    QTest::newRow("non-ASCII letters kept") << "Élan Über"
                                            << "Élan-Über";
    QTest::newRow("other marks kept") << "Z_2.0!"
                                      << "z_2.0!";
}

void TestShare::slug() {
    QFETCH(QString, product);
    QFETCH(QString, slug);
    QCOMPARE(QString::fromStdString(ProductSlug(product.toStdString())), slug);
}

void TestShare::addresses() {
    const std::string page = ProductPageAddress("www.kestrix.example", "Zentaro");
    QCOMPARE(page, std::string("https://www.kestrix.example/software/zentaro/"));
    const std::string sentence = ShareSentence(true, "40.00 million ops/sec", "Not tested");
    QCOMPARE(XShareAddress("x.com", page, sentence),
             std::string("https://x.com/share/?url=https%3A%2F%2Fwww.kestrix.example%2Fsoftware%"
                         "2Fzentaro%2F&text=I've+just+run+a+CPU+test+on+my+computer%3A+40.00+"
                         "million+ops%2Fsec&via=kestrix"));
    QCOMPARE(FacebookShareAddress("www.facebook.com", page),
             std::string("https://www.facebook.com/sharer.php?u=https%3A%2F%2Fwww.kestrix."
                         "example%2Fsoftware%2Fzentaro%2F"));
    // Non-ASCII letters of the product reach the page address as UTF-8 escapes.
    QCOMPARE(FacebookShareAddress("f", ProductPageAddress("h", "Élan")),
             std::string("https://f/sharer.php?u=https%3A%2F%2Fh%2Fsoftware%2F%C3%89lan%2F"));
}

void TestShare::sentence_data() {
    QTest::addColumn<bool>("singleEnabled");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("single-core result")
        << true << "I've just run a CPU test on my computer: 1,50 s";
    QTest::newRow("multi-core result") << false << "I've just run a CPU test on my computer: 9 m";
}

void TestShare::sentence() {
    QFETCH(bool, singleEnabled);
    QFETCH(QString, sentence);
    QCOMPARE(QString::fromStdString(ShareSentence(singleEnabled, "1,50 s", "9 m")), sentence);
}

void TestShare::dateTime_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("text");
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    const QDate day(2026, 12, 10);
    QTest::newRow("afternoon, US")
        << us << QDateTime(day, QTime(14, 5, 9)) << "12/10/26 2:05:09 PM";
    QTest::newRow("afternoon, German")
        << de << QDateTime(day, QTime(14, 5, 9)) << "10.12.26 14:05:09";
    QTest::newRow("exactly midnight") << us << QDateTime(day, QTime(0, 0)) << "12/10/26";
    QTest::newRow("a second past midnight")
        << de << QDateTime(day, QTime(0, 0, 1)) << "10.12.26 00:00:01";
}

void TestShare::dateTime() {
    QFETCH(QLocale, locale);
    QFETCH(QDateTime, now);
    QFETCH(QString, text);
    QCOMPARE(ReportDateTime(now, locale), text);
}

void TestShare::reportLines() {
    ReportSource s;
    s.appTitle = "KESTRIX - Zentaro";
    s.appVersion = "1.0";
    s.cpuName = " Intel ";
    s.architecture = "x64";
    s.threads = "8";
    s.baseSpeed = "3600 MHz";
    s.currentSpeed = "Unknown";
    s.elapsed = "2.50 sec";
    s.singleCore = "40.00 million ops/sec";
    s.multiCore = "Not tested";
    const QStringList lines = ReportLines(s, "12/10/26 2:05:09 PM");
    QCOMPARE(lines,
             QStringList({"KESTRIX - Zentaro 1.0", "12/10/26 2:05:09 PM", "", "CPU Name:  Intel ",
                          "Architecture: x64", "Threads: 8", "Base Speed: 3600 MHz",
                          "Current Speed: Unknown", "", "Elapsed Time: 2.50 sec",
                          "Single-Core: 40.00 million ops/sec", "Multi-Core: Not tested"}));
    QCOMPARE(ReportText({"a", "", "b"}), QString("a\r\n\r\nb\r\n"));
}

void TestShare::suggestedFile_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("path");
    QTest::newRow("documents") << "/home/ana/Documents"
                               << "Zentaro"
                               << "/home/ana/Documents/Zentaro 2026-12-10.txt";
    QTest::newRow("no documents folder") << ""
                                         << "Zentaro"
                                         << "Zentaro 2026-12-10.txt";
    QTest::newRow("no product") << "/d"
                                << " "
                                << "/d/Zentaro 2026-12-10.txt";
    QTest::newRow("a product naming folders") << "/d"
                                              << "../../etc/x:y\\z"
                                              << "/d/.._.._etc_x_y_z 2026-12-10.txt";
}

void TestShare::suggestedFile() {
    QFETCH(QString, folder);
    QFETCH(QString, product);
    QFETCH(QString, path);
    const QDateTime now(QDate(2026, 12, 10), QTime(23, 59, 59));
    QCOMPARE(zentaro::share::SuggestedFilePath(folder, product, now), path);
}

void TestShare::savedBytes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("as built") << "a\nb\n" << QByteArray("a\r\nb\r\n");
    QTest::newRow("already CR LF") << "a\r\nb\r\n" << QByteArray("a\r\nb\r\n");
    QTest::newRow("lone CR") << "a\rb" << QByteArray("a\r\nb");
    QTest::newRow("UTF-8, no byte-order mark")
        << QString::fromUtf8("é\n") << QByteArray("\xC3\xA9\r\n");
    QTest::newRow("paragraph separator")
        << QString("a") + QChar::ParagraphSeparator + "b" << QByteArray("a\r\nb");
}

void TestShare::savedBytes() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(SavedBytes(text), bytes);
}

QTEST_GUILESS_MAIN(TestShare)
#include "test_share.moc"
