// The text viewer on Linux hands the file to the desktop's opener, path as given,
// and says what the opener said.
#include "platform/textviewer.h"
#include "support/recordingopener.h"

#include <QTest>
#include <memory>
#include <string>
#include <vector>

using zentaro::testing::RecordingOpener;

class TestTextViewer : public QObject {
    Q_OBJECT

private slots:
    void handsTheFileToTheOpener_data();
    void handsTheFileToTheOpener();
    void withoutAnOpener();
};

void TestTextViewer::handsTheFileToTheOpener_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("answer");
    QTest::newRow("opened") << QByteArray("/usr/share/doc/zentaro/LICENSE.txt") << true;
    QTest::newRow("refused") << QByteArray("/usr/share/doc/zentaro/LICENSE.txt") << false;
    // Not a URL: no percent escapes, "#" and "?" belong to the name.
    QTest::newRow("blanks, UTF-8, # and ?")
        << QByteArray("/home/j\xC3\xBCrgen/read me #1?.txt") << true;
}

void TestTextViewer::handsTheFileToTheOpener() {
    QFETCH(QByteArray, path);
    QFETCH(bool, answer);
    const auto opener = std::make_shared<RecordingOpener>();
    opener->answer = answer;
    const auto viewer = zentaro::platform::CreateTextViewer(opener);
    QCOMPARE(viewer->ShowTextFile(path.toStdString()), answer);
    QCOMPARE(opener->files, std::vector<std::string>{path.toStdString()});
    QVERIFY(opener->urls.empty());
}

void TestTextViewer::withoutAnOpener() {
    QVERIFY(!zentaro::platform::CreateTextViewer(nullptr)->ShowTextFile("/tmp/x.txt"));
}

QTEST_GUILESS_MAIN(TestTextViewer)
#include "test_textviewer.moc"
