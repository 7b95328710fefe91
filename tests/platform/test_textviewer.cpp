// The text viewer on Linux hands the file to the desktop's opener, path as given,
// and says what the opener said.
#include "platform/textviewer.h"

#include <QTest>
#include <memory>
#include <string>
#include <vector>

namespace {

// Notes every request and answers as told; opening addresses is not its business.
class RecordingOpener final : public zentaro::platform::Opener {
public:
    explicit RecordingOpener(bool answer) : answer_(answer) {}
    bool OpenUrl(const std::string& url) override {
        urls.push_back(url);
        return answer_;
    }
    bool OpenFile(const std::string& path) override {
        files.push_back(path);
        return answer_;
    }
    std::vector<std::string> urls;
    std::vector<std::string> files;

private:
    bool answer_;
};

} // namespace

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
    const auto opener = std::make_shared<RecordingOpener>(answer);
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
