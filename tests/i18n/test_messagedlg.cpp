#include "i18n/messagedlg.h"
#include "support/modaldriver.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <functional>

using namespace zentaro::i18n;
using zentaro::testing::ModalDriver;

namespace {

const QStringList kFixedOrder{"Yes",    "No",  "OK",      "Cancel",   "Abort", "Retry",
                              "Ignore", "All", "NoToAll", "YesToAll", "Help",  "Close"};

// What the dialog showed, read while it was open.
struct Shown {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    QStringList namesLeftToRight;
    QStringList captionsLeftToRight;
    QList<int> widthsLeftToRight;
};

QList<QPushButton*> LeftToRight(QMessageBox* box) {
    QList<QPushButton*> buttons = box->findChildren<QPushButton*>();
    std::sort(buttons.begin(), buttons.end(), [](QPushButton* a, QPushButton* b) {
        return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
    });
    return buttons;
}

// Shows the dialog and, once it is up, records it and hands it to drive, which must
// close it. Returns the dialog's answer.
int Run(MsgDlgButtons buttons, const QStringList& captions,
        const std::function<void(QMessageBox*)>& drive, Shown* shown = nullptr,
        MsgDlgType type = MsgDlgType::Confirmation, const QString& message = "Restart Application?",
        const QString& title = "Confirmation") {
    ModalDriver<QMessageBox> driver([&](QMessageBox* box) {
        if (shown) {
            shown->title = box->windowTitle();
            shown->text = box->text();
            shown->icon = box->icon();
            shown->format = box->textFormat();
            for (QPushButton* button : LeftToRight(box)) {
                shown->namesLeftToRight << button->objectName();
                shown->captionsLeftToRight << button->text();
                shown->widthsLeftToRight << button->width();
            }
        }
        drive(box);
    });
    const int answer = TranslatedMessageDlg(message, type, buttons, captions, title);
    // A failed QVERIFY cannot return a value here; the test compares the answer next.
    if (!driver.ok()) {
        QTest::qFail(driver.failure(), __FILE__, __LINE__);
        return -1;
    }
    return answer;
}

void SendKey(QMessageBox* box, Qt::Key key) {
    // To the widget that has the focus, as a keyboard would.
    QWidget* target = box->focusWidget() ? box->focusWidget() : box;
    QTest::keyClick(target, key);
}

void CloseBox(QMessageBox* box) {
    box->close();
}

} // namespace

class TestMessageDlg : public QObject {
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void escWithoutCancelButtonDoesNothing();
    void captions_data();
    void captions();
    void longCaptionDoesNotWidenButton();
    void kindTitleAndMessage_data();
    void kindTitleAndMessage();
};

void TestMessageDlg::answers_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("expected");

    const int yesNo = int(MsgDlgBtn::Yes | MsgDlgBtn::No);
    QTest::newRow("Enter answers Yes") << yesNo << "Return" << 6;
    QTest::newRow("Esc answers No") << yesNo << "Escape" << 7;
    QTest::newRow("close box answers Cancel") << yesNo << "close" << 2;
    QTest::newRow("click No") << yesNo << "No" << 7;

    const int okCancel = int(MsgDlgBtn::Yes | MsgDlgBtn::OK | MsgDlgBtn::Cancel);
    QTest::newRow("OK is default before Yes") << okCancel << "Return" << 1;
    QTest::newRow("Esc answers Cancel before No")
        << int(okCancel | int(MsgDlgBtn::No)) << "Escape" << 2;
    const int retry = int(MsgDlgBtn::Abort | MsgDlgBtn::Retry | MsgDlgBtn::Ignore);
    QTest::newRow("Retry is default without OK and Yes") << retry << "Return" << 4;
    QTest::newRow("click Abort") << retry << "Abort" << 3;
    QTest::newRow("click Ignore") << retry << "Ignore" << 5;
    QTest::newRow("close box without Cancel button") << retry << "close" << 2;
    QTest::newRow("Esc answers OK when it is the only way out")
        << int(MsgDlgBtn::OK | MsgDlgBtn::Help) << "Escape" << 1;

    const int more = int(MsgDlgBtn::All | MsgDlgBtn::NoToAll | MsgDlgBtn::YesToAll |
                         MsgDlgBtn::Help | MsgDlgBtn::Close);
    QTest::newRow("click All") << more << "All" << 8;
    QTest::newRow("click NoToAll") << more << "NoToAll" << 9;
    QTest::newRow("click YesToAll") << more << "YesToAll" << 10;
    QTest::newRow("click Close") << more << "Close" << 11;
    QTest::newRow("click Help") << more << "Help" << 12;
}

void TestMessageDlg::answers() {
    QFETCH(int, buttons);
    QFETCH(QString, action);
    QFETCH(int, expected);

    const int answer = Run(MsgDlgButtons::fromInt(buttons), {"Ja", "Nein"}, [&](QMessageBox* box) {
        if (action == "Return")
            SendKey(box, Qt::Key_Return);
        else if (action == "Escape")
            SendKey(box, Qt::Key_Escape);
        else if (action == "close")
            CloseBox(box);
        else if (auto* button = box->findChild<QPushButton*>(action))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            box->close(); // fails below: the button was not there
    });
    QCOMPARE(answer, expected);
}

void TestMessageDlg::escWithoutCancelButtonDoesNothing() {
    // With neither Cancel, No nor OK, Esc must not pick an answer for the user.
    bool openAfterEsc = false;
    const int answer = Run(MsgDlgBtn::Yes | MsgDlgBtn::Retry, {}, [&](QMessageBox* box) {
        SendKey(box, Qt::Key_Escape);
        QCoreApplication::processEvents();
        openAfterEsc = box->isVisible();
        CloseBox(box);
    });
    QVERIFY(openAfterEsc);
    QCOMPARE(answer, 2);
}

void TestMessageDlg::captions_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("shownCaptions");

    const int yesNo = int(MsgDlgBtn::Yes | MsgDlgBtn::No);
    QTest::newRow("one caption per button")
        << yesNo << QStringList{"Ja", "Nein"} << QStringList{"Yes", "No"}
        << QStringList{"Ja", "Nein"};
    QTest::newRow("fewer captions keep the standard ones")
        << int(yesNo | int(MsgDlgBtn::Cancel)) << QStringList{"Evet"}
        << QStringList{"Yes", "No", "Cancel"} << QStringList{"Evet", "&No", "Cancel"};
    QTest::newRow("surplus captions are ignored")
        << yesNo << QStringList{"Oui", "Non", "Annuler"} << QStringList{"Yes", "No"}
        << QStringList{"Oui", "Non"};
    QTest::newRow("empty caption is applied")
        << yesNo << QStringList{"", "Nein"} << QStringList{"Yes", "No"} << QStringList{"", "Nein"};
    QTest::newRow("fixed order whatever the set")
        << int(MsgDlgBtn::Close | MsgDlgBtn::Help | MsgDlgBtn::Ignore | MsgDlgBtn::OK |
               MsgDlgBtn::No | MsgDlgBtn::Yes)
        << QStringList{"1", "2", "3", "4", "5", "6"}
        << QStringList{"Yes", "No", "OK", "Ignore", "Help", "Close"}
        << QStringList{"1", "2", "3", "4", "5", "6"};
    QTest::newRow("all twelve") << 0xFFF << QStringList{} << kFixedOrder
                                << QStringList{"&Yes",       "&No",         "OK",      "Cancel",
                                               "&Abort",     "&Retry",      "&Ignore", "&All",
                                               "N&o to All", "Yes to &All", "&Help",   "&Close"};
}

void TestMessageDlg::captions() {
    QFETCH(int, buttons);
    QFETCH(QStringList, captions);
    QFETCH(QStringList, names);
    QFETCH(QStringList, shownCaptions);

    Shown shown;
    Run(MsgDlgButtons::fromInt(buttons), captions, CloseBox, &shown);
    QCOMPARE(shown.namesLeftToRight, names);
    QCOMPARE(shown.captionsLeftToRight, shownCaptions);
}

void TestMessageDlg::longCaptionDoesNotWidenButton() {
    Shown standard;
    Run(MsgDlgBtn::Yes | MsgDlgBtn::No, {}, CloseBox, &standard);
    Shown translated;
    const QString longCaption = "Anwendung jetzt wirklich mit neuen Einstellungen neu starten";
    Run(MsgDlgBtn::Yes | MsgDlgBtn::No, {longCaption, "N"}, CloseBox, &translated);

    QCOMPARE(translated.captionsLeftToRight, QStringList({longCaption, "N"}));
    QCOMPARE(translated.widthsLeftToRight, standard.widthsLeftToRight);
    QVERIFY(QPushButton(longCaption).sizeHint().width() > translated.widthsLeftToRight[0]);
}

void TestMessageDlg::kindTitleAndMessage_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("icon");

    QTest::newRow("confirmation") << int(MsgDlgType::Confirmation) << int(QMessageBox::Question);
    QTest::newRow("warning") << int(MsgDlgType::Warning) << int(QMessageBox::Warning);
    QTest::newRow("error") << int(MsgDlgType::Error) << int(QMessageBox::Critical);
    QTest::newRow("information") << int(MsgDlgType::Information) << int(QMessageBox::Information);
    QTest::newRow("custom") << int(MsgDlgType::Custom) << int(QMessageBox::NoIcon);
}

void TestMessageDlg::kindTitleAndMessage() {
    QFETCH(int, type);
    QFETCH(int, icon);

    Shown shown;
    // Parts joined with CR, and markup that must stay text.
    Run(MsgDlgBtn::OK, {}, CloseBox, &shown, static_cast<MsgDlgType>(type), "<b>Danke</b>\rBitte",
        "Bestätigung");
    QCOMPARE(int(shown.icon), icon);
    QCOMPARE(shown.title, QString("Bestätigung"));
    QCOMPARE(shown.text, QString("<b>Danke</b>\nBitte"));
    QCOMPARE(shown.format, Qt::PlainText);
}

QTEST_MAIN(TestMessageDlg)
#include "test_messagedlg.moc"
