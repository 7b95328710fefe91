// The windows' text boxes and the clipboard: data without any format (an empty
// clipboard) is refused instead of reaching Qt's paste, which crashes on it;
// text still pastes.
#include "online/feedback.h"
#include "share/shareform.h"
#include "support/find.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <functional>
#include <memory>

using namespace zentaro;

class TestPlainTextBox : public QObject {
    Q_OBJECT

private slots:
    void pasteIntoTheWindows_data();
    void pasteIntoTheWindows();
};

using MakeWindow = std::function<QWidget*()>;
Q_DECLARE_METATYPE(MakeWindow)

void TestPlainTextBox::pasteIntoTheWindows_data() {
    QTest::addColumn<MakeWindow>("make");
    QTest::newRow("export") << MakeWindow([] { return new share::TFormShare(); });
    QTest::newRow("feedback") << MakeWindow([] {
        return new online::TFeedbackForm({"Zentaro", "KESTRIX - Zentaro", "1.0", {}});
    });
}

void TestPlainTextBox::pasteIntoTheWindows() {
    QFETCH(MakeWindow, make);
    std::unique_ptr<QWidget> window(make());
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto* memo = testing::Find<QPlainTextEdit>(window.get(), "Memo1");
    QVERIFY(memo);
    memo->setFocus();
    memo->setPlainText("kept");
    memo->moveCursor(QTextCursor::End);

    QGuiApplication::clipboard()->setMimeData(new QMimeData);
    QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(memo->toPlainText(), QStringLiteral("kept"));
    // Select all and copy: still nothing that could crash the next paste.
    QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(memo, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(memo->toPlainText(), QStringLiteral("keptkept"));

    QGuiApplication::clipboard()->setText(QStringLiteral(" and more"));
    QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(memo->toPlainText(), QStringLiteral("keptkept and more"));
}

QTEST_MAIN(TestPlainTextBox)
#include "test_plaintextbox.moc"
