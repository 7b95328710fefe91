#include "i18n/messagedlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <array>

namespace zentaro::i18n {
namespace {

struct ButtonKind {
    MsgDlgBtn member;
    const char* name; // object name, so that tests and tools can find the button
    const char* standardCaption;
    ModalResult result;
};

// The fixed order in which the buttons are made and the captions are applied.
constexpr std::array<ButtonKind, 12> kButtonKinds{{
    {MsgDlgBtn::Yes, "Yes", "&Yes", mrYes},
    {MsgDlgBtn::No, "No", "&No", mrNo},
    {MsgDlgBtn::OK, "OK", "OK", mrOk},
    {MsgDlgBtn::Cancel, "Cancel", "Cancel", mrCancel},
    {MsgDlgBtn::Abort, "Abort", "&Abort", mrAbort},
    {MsgDlgBtn::Retry, "Retry", "&Retry", mrRetry},
    {MsgDlgBtn::Ignore, "Ignore", "&Ignore", mrIgnore},
    {MsgDlgBtn::All, "All", "&All", mrAll},
    {MsgDlgBtn::NoToAll, "NoToAll", "N&o to All", mrNoToAll},
    {MsgDlgBtn::YesToAll, "YesToAll", "Yes to &All", mrYesToAll},
    {MsgDlgBtn::Help, "Help", "&Help", mrHelp},
    {MsgDlgBtn::Close, "Close", "&Close", mrClose},
}};

QMessageBox::Icon IconFor(MsgDlgType type) {
    switch (type) {
    case MsgDlgType::Warning:
        return QMessageBox::Warning;
    case MsgDlgType::Error:
        return QMessageBox::Critical;
    case MsgDlgType::Information:
        return QMessageBox::Information;
    case MsgDlgType::Confirmation:
        return QMessageBox::Question;
    case MsgDlgType::Custom:
        break;
    }
    return QMessageBox::NoIcon;
}

// The answer is recorded by the buttons themselves, so that Esc and the close box can
// be told apart: QMessageBox on its own answers both with its escape button.
class MessageBox final : public QMessageBox {
public:
    int answer = mrNone;
    QPushButton* cancelButton = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel)) {
            // Without a button that can cancel, Esc does nothing rather than answer
            // with whatever button QMessageBox would guess.
            if (cancelButton)
                cancelButton->click();
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }

    void closeEvent(QCloseEvent* event) override {
        if (answer == mrNone)
            answer = mrCancel; // the close box
        // QDialog's own handling: closing rejects; the answer is already settled.
        // (QMessageBox's would ignore the close of a box without an Escape button.)
        QDialog::closeEvent(event); // NOLINT(bugprone-parent-virtual-call)
    }
};

QPushButton* Find(const std::array<QPushButton*, kButtonKinds.size()>& made, MsgDlgBtn member) {
    for (std::size_t i = 0; i < kButtonKinds.size(); ++i)
        if (kButtonKinds[i].member == member && made[i])
            return made[i];
    return nullptr;
}

} // namespace

int TranslatedMessageDlg(const QString& Msg, MsgDlgType DlgType, MsgDlgButtons Buttons,
                         const QStringList& Captions, const QString& Title) {
    MessageBox box; // no parent: owned by the application, centred on the screen
    box.setIcon(IconFor(DlgType));
    box.setTextFormat(Qt::PlainText); // a translation is never markup
    QString text = Msg;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    box.setText(text);
    box.setWindowTitle(Title);

    // All buttons share one role, so the button box keeps them in the order they are
    // added, left to right: Yes, No, OK, Cancel, ... Close, on every platform, rather
    // than in the platform's order by role.
    std::array<QPushButton*, kButtonKinds.size()> made{};
    for (std::size_t i = 0; i < kButtonKinds.size(); ++i) {
        const ButtonKind& kind = kButtonKinds[i];
        if (!Buttons.testFlag(kind.member))
            continue;
        auto* button = new QPushButton(QString::fromLatin1(kind.standardCaption));
        button->setObjectName(QString::fromLatin1(kind.name));
        // Connected before the box's own handler, which closes the dialog.
        QObject::connect(button, &QPushButton::clicked, &box,
                         [&box, result = kind.result] { box.answer = result; });
        box.addButton(button, QMessageBox::ActionRole);
        made[i] = button;
    }

    QPushButton* defaultButton = Find(made, MsgDlgBtn::OK);
    if (!defaultButton)
        defaultButton = Find(made, MsgDlgBtn::Yes);
    if (!defaultButton)
        defaultButton = Find(made, MsgDlgBtn::Retry);
    if (defaultButton)
        box.setDefaultButton(defaultButton);

    box.cancelButton = Find(made, MsgDlgBtn::Cancel);
    if (!box.cancelButton)
        box.cancelButton = Find(made, MsgDlgBtn::No);
    if (!box.cancelButton)
        box.cancelButton = Find(made, MsgDlgBtn::OK);

    // Buttons are sized for their standard captions and stay so: a longer caption is
    // cut off rather than laid out anew.
    qsizetype k = 0;
    for (QPushButton* button : made) {
        if (!button)
            continue;
        button->setFixedSize(button->sizeHint());
        if (k < Captions.size())
            button->setText(Captions[k]);
        ++k;
    }

    box.exec();
    return box.answer == mrNone ? mrCancel : box.answer;
}

} // namespace zentaro::i18n
