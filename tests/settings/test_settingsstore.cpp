// The per-user settings store, pointed at INI files in temporary folders.
#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using zentaro::settings::SettingsStore;

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void storeReadsDecimalIntegers_data();
    void storeReadsDecimalIntegers();
    void storeWritesDecimalText();
    void storeThatCannotBeOpened();
};

void TestSettingsStore::storeReadsDecimalIntegers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value"); // 7: the default
    QTest::newRow("digits") << "12" << 12;
    QTest::newRow("negative") << "-3" << -3;
    QTest::newRow("plus sign") << "+4" << 4;
    QTest::newRow("leading zeros") << "0000000000000000005" << 5;
    QTest::newRow("largest int") << "2147483647" << 2147483647;
    QTest::newRow("smallest int") << "-2147483648" << -2147483647 - 1;
    QTest::newRow("beyond int") << "2147483648" << 7;
    QTest::newRow("word") << "abc" << 7;
    QTest::newRow("fraction") << "1.5" << 7;
    QTest::newRow("hexadecimal") << "0x10" << 7;
    QTest::newRow("blank before") << "\" 5\"" << 7; // quoted: INI trims bare values
    QTest::newRow("sign alone") << "-" << 7;
    QTest::newRow("empty") << "" << 7;
    QTest::newRow("a list") << "1, 2" << 7;
}

void TestSettingsStore::storeReadsDecimalIntegers() {
    QFETCH(QString, text);
    QFETCH(int, value);
    QTemporaryDir dir;
    const QString file = dir.filePath("Zentaro.conf");
    {
        QFile raw(file);
        QVERIFY(raw.open(QIODevice::WriteOnly));
        raw.write("[Settings]\nValue=" + text.toUtf8() + "\n");
    }
    const auto store = SettingsStore::Open(file);
    QVERIFY(store->opened());
    QCOMPARE(store->ReadInteger("Value", 7), value);
    QCOMPARE(store->ReadInteger("Missing", 7), 7);
    QCOMPARE(store->ReadString("Missing", "none"), QStringLiteral("none"));
}

void TestSettingsStore::storeWritesDecimalText() {
    QTemporaryDir dir;
    // Folders on the way are created with the store.
    const QString file = dir.filePath("KESTRIX/Zentaro.conf");
    auto store = SettingsStore::Open(file);
    QVERIFY(store->opened());
    QVERIFY(store->WriteInteger("LastUpdateCheckCount", -12));
    QVERIFY(store->WriteString("LastUpdateCheck", "12/9/25"));
    QFile raw(file);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray content = raw.readAll();
    QVERIFY2(content.contains("[Settings]"), content);
    QVERIFY2(content.contains("LastUpdateCheckCount=-12"), content);
    QCOMPARE(SettingsStore::Open(file)->ReadString("LastUpdateCheck", {}),
             QStringLiteral("12/9/25"));
}

void TestSettingsStore::storeThatCannotBeOpened() {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // Its folder would have to be a file: it cannot be made, whoever runs the test.
    const auto store = SettingsStore::Open(dir.filePath("file/Zentaro.conf"));
    QVERIFY(!store->opened());
    QCOMPARE(store->ReadInteger("ShowUpdate", 1), 1);
    QVERIFY(!store->WriteInteger("ShowUpdate", 0));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{"file"});
}

QTEST_MAIN(TestSettingsStore)
#include "test_settingsstore.moc"
