#pragma once

#include <QFlags>
#include <QString>
#include <QStringList>

namespace zentaro::i18n {

// The kind of message, which picks the dialog's icon; Custom has none.
enum class MsgDlgType { Warning, Error, Information, Confirmation, Custom };

enum class MsgDlgBtn : unsigned {
    Yes = 1u << 0,
    No = 1u << 1,
    OK = 1u << 2,
    Cancel = 1u << 3,
    Abort = 1u << 4,
    Retry = 1u << 5,
    Ignore = 1u << 6,
    All = 1u << 7,
    NoToAll = 1u << 8,
    YesToAll = 1u << 9,
    Help = 1u << 10,
    Close = 1u << 11,
};
Q_DECLARE_FLAGS(MsgDlgButtons, MsgDlgBtn)
Q_DECLARE_OPERATORS_FOR_FLAGS(MsgDlgButtons)

// The answers. OK to No are the numbers callers compare with; All to Help follow on.
enum ModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2, // also the close box
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10,
    mrClose = 11,
    mrHelp = 12,
};

// The standard message dialog with Title as its title and Captions on its buttons.
// The buttons are made in the fixed order Yes, No, OK, Cancel, Abort, Retry, Ignore,
// All, NoToAll, YesToAll, Help, Close, whatever the order of the set, and Captions
// are applied in that order: missing captions leave the standard one, surplus ones
// are ignored. Buttons keep the size they have for their standard captions.
// Enter answers the default button (OK, else Yes, else Retry), Esc the cancel button
// (Cancel, else No, else OK), the close box always mrCancel. Modal; returns the
// ModalResult.
int TranslatedMessageDlg(const QString& Msg, MsgDlgType DlgType, MsgDlgButtons Buttons,
                         const QStringList& Captions, const QString& Title);

} // namespace zentaro::i18n
