#include "online/feedback.h"

#include "appfonts.h"
#include "i18n/catalogue.h"
#include "i18n/messagedlg.h"
#include "inkicon.h"
#include "online/feedbacktext.h"
#include "pictures.h"
#include "ui_feedback.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QIcon>
#include <QScreen>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <thread>

namespace zentaro::online {

namespace {

using assets::Tahoma;

constexpr int kClientWidth = 525;
constexpr int kClientHeight = 326;
constexpr int kMaxMessageChars = 10000;

using i18n::TranslateText;

QFont TahomaPoints(int points, bool bold) {
    QFont font(QStringLiteral("Tahoma"), points);
    font.setBold(bold);
    return font;
}

} // namespace

TFeedbackForm::TFeedbackForm(Inputs inputs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      ui(std::make_unique<Ui::TFeedbackForm>()), inputs_(std::move(inputs)) {
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(Tahoma(11));
    ui->Label1->setFont(TahomaPoints(12, false));
    ui->Label2->setFont(TahomaPoints(10, true));

    connect(ui->Panel4, &ChoicePanel::pressed, this, &TFeedbackForm::Image1MouseDown);
    connect(ui->Panel5, &ChoicePanel::pressed, this, &TFeedbackForm::Image2MouseDown);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TFeedbackForm::BitBtn1Click);
    connect(ui->Memo1, &QPlainTextEdit::textChanged, this, &TFeedbackForm::LimitMemo);
    // Esc in the text, in the address or on Send reaches the dialog, which closes.

    FormCreate();

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

TFeedbackForm::~TFeedbackForm() = default;

void TFeedbackForm::FormCreate() {
    setWindowTitle(inputs_.AppProductName + u' ' + TranslateText(QStringLiteral("feedback")));
    ui->Panel4->setText(TranslateText(QStringLiteral("I like it!")));
    ui->Panel5->setText(TranslateText(QStringLiteral("I dislike it!")));
    ui->Label1->setText(TranslateText(QStringLiteral("We would really appreciate your feedback.")));
    ui->Label2->setText(TranslateText(QStringLiteral("What did you like or dislike?")));
    ui->Label3->setText(TranslateText(QStringLiteral("Include my e-mail:")));
    ui->BitBtn1->setText(TranslateText(QStringLiteral("Send")));
    ui->Image1->setPixmap(
        assets::PictureIcon(QStringLiteral(":/icons/like.svg")).pixmap(QSize(32, 32)));
    ui->Image2->setPixmap(
        assets::PictureIcon(QStringLiteral(":/icons/dislike.svg")).pixmap(QSize(32, 32)));
    SetSelected(ui->Panel4, false);
    SetSelected(ui->Panel5, false);
    ui->BitBtn1->setIcon(assets::InkIcon(QStringLiteral(":/icons/feedback.svg")));
    ui->Memo1->setFocus();
}

// --- The two choices

bool TFeedbackForm::IsSelected(const ChoicePanel* panel) {
    return panel->palette().color(QPalette::Window) !=
           QApplication::palette().color(QPalette::Button);
}

void TFeedbackForm::SetSelected(ChoicePanel* panel, bool selected) {
    const QPalette style = QApplication::palette();
    QPalette look = panel->palette();
    look.setColor(QPalette::Window, style.color(selected ? QPalette::Highlight : QPalette::Button));
    look.setColor(QPalette::WindowText,
                  style.color(selected ? QPalette::HighlightedText : QPalette::WindowText));
    panel->setPalette(look);
    panel->setFrameShadow(selected ? QFrame::Sunken : QFrame::Raised);
}

void TFeedbackForm::Choose(ChoicePanel* clicked, ChoicePanel* other) {
    if (IsSelected(clicked)) {
        SetSelected(clicked, false);
        return;
    }
    SetSelected(clicked, true);
    if (IsSelected(other))
        SetSelected(other, false);
}

void TFeedbackForm::Image1MouseDown(Qt::MouseButton button) {
    if (button == Qt::LeftButton)
        Choose(ui->Panel4, ui->Panel5);
}

void TFeedbackForm::Image2MouseDown(Qt::MouseButton button) {
    if (button == Qt::LeftButton)
        Choose(ui->Panel5, ui->Panel4);
}

// --- The text's limit

void TFeedbackForm::LimitMemo() {
    const qsizetype excess = ui->Memo1->toPlainText().size() - kMaxMessageChars;
    if (excess <= 0)
        return;
    // What was just typed or pasted ends at the cursor: its overflow goes, as
    // if it had never fitted; the rest, should the cursor be elsewhere, from the end.
    QTextCursor cursor = ui->Memo1->textCursor();
    const int end = cursor.position();
    const int start = std::max(0, end - static_cast<int>(excess));
    if (start < end) {
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        ui->Memo1->setTextCursor(cursor);
    }
    if (ui->Memo1->toPlainText().size() > kMaxMessageChars) {
        QTextCursor tail(ui->Memo1->document());
        tail.setPosition(kMaxMessageChars);
        tail.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        tail.removeSelectedText();
    }
}

// --- Send

void TFeedbackForm::BitBtn1Click() {
    if (sending_)
        return;
    using i18n::MsgDlgBtn;
    using i18n::MsgDlgType;

    // The text as the box holds it, with CR LF line breaks.
    QString text = ui->Memo1->toPlainText();
    text.replace(u'\n', QStringLiteral("\r\n"));
    FeedbackChoice choice = FeedbackChoice::None;
    if (IsSelected(ui->Panel4))
        choice = FeedbackChoice::Like;
    else if (IsSelected(ui->Panel5))
        choice = FeedbackChoice::Dislike;
    const QString feedback = ComposeFeedback(choice, ui->Panel4->text(), ui->Panel5->text(), text);
    if (feedback.isEmpty()) {
        ui->Memo1->setFocus();
        QApplication::beep();
        return;
    }

    const QString email = TrimSpacesAndControls(ui->Edit1->text());
    if (!email.isEmpty() && !IsValidEmail(email)) {
        ui->Edit1->setFocus();
        i18n::TranslatedMessageDlg(TranslateText(QStringLiteral("Invalid e-mail address!")),
                                   MsgDlgType::Error, MsgDlgBtn::OK, {},
                                   TranslateText(QStringLiteral("Failure")));
        return;
    }

    const QStringList fields =
        FeedbackFields(inputs_.AppTitle, inputs_.AppVersion, feedback, email);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    const std::optional<QString> reply = Send(fields);
    QApplication::restoreOverrideCursor();

    if (FeedbackDelivered(reply)) {
        i18n::TranslatedMessageDlg(
            TranslateText(QStringLiteral("Your feedback is received.")) + QStringLiteral("\r\r") +
                TranslateText(QStringLiteral("Thank you!")),
            MsgDlgType::Information, MsgDlgBtn::OK, {}, TranslateText(QStringLiteral("Success")));
        close();
    } else {
        i18n::TranslatedMessageDlg(
            TranslateText(
                QStringLiteral("Something went wrong. Your feedback could not be delivered.")) +
                QStringLiteral("\r\r") + TranslateText(QStringLiteral("Please try again later.")),
            MsgDlgType::Error, MsgDlgBtn::OK, {}, TranslateText(QStringLiteral("Failure")));
    }
}

std::optional<QString> TFeedbackForm::Send(const QStringList& fields) {
    sending_ = true;
    std::optional<QString> reply;
    // The window waits here, repainting but taking no input, until the worker
    // is done; both attempts are bounded by their time-outs.
    // The worker only sets a flag that the window's loop looks at: no Qt object
    // passes between the threads, and join() hands the reply over.
    std::atomic<bool> done{false};
    QEventLoop wait;
    QTimer look;
    look.setInterval(10);
    QObject::connect(&look, &QTimer::timeout, &wait, [&done, &wait] {
        if (done.load(std::memory_order_acquire))
            wait.quit();
    });
    std::thread worker([&reply, &done, server = inputs_.server, fields] {
        reply =
            Exchange(server, QString::fromLatin1(kFeedbackPath), fields, kFeedbackTimeoutMs).reply;
        done.store(true, std::memory_order_release);
    });
    look.start();
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    sending_ = false;
    return reply;
}

void TFeedbackForm::closeEvent(QCloseEvent* event) {
    // Not while the request is out: the window is still in use on the stack.
    if (sending_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace zentaro::online
