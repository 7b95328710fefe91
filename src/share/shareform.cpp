#include "share/shareform.h"

#include "appfonts.h"
#include "i18n/catalogue.h"
#include "i18n/messagedlg.h"
#include "inkicon.h"
#include "share/report.h"
#include "share/savetarget.h"
#include "ui_shareform.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>
#include <QScreen>
#include <QShortcut>
#include <QTextCursor>

namespace zentaro::share {

TFormShare::TFormShare(QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TFormShare>()) {
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose); // closing frees it
    setWindowTitle(QString());
    ui->Memo1->setFont(assets::Tahoma(16));
    ui->Button1->setIcon(assets::InkIcon(QStringLiteral(":/icons/save48.svg")));
    connect(ui->Button1, &QPushButton::clicked, this, &TFormShare::Button1Click);
    // Esc closes the window and Ctrl+S saves, as in other text windows.
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, &TFormShare::Button1Click);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TFormShare::~TFormShare() = default;

void TFormShare::AddLine(const QString& line) {
    // Each line ends with its own line break, so the text ends with one too.
    QTextCursor end(ui->Memo1->document());
    end.movePosition(QTextCursor::End);
    end.insertText(line + u'\n');
}

void TFormShare::SetSuggestedFile(const QString& path) {
    suggestedFile_ = path;
}

void TFormShare::Button1Click() {
    QString chosen = suggestedFile_;
    for (;;) {
        QFileDialog SaveDialog1(this, QString(), QString(), QStringLiteral("Text File (*.txt)"));
        SaveDialog1.setObjectName(QStringLiteral("SaveDialog1"));
        SaveDialog1.setAcceptMode(QFileDialog::AcceptSave);
        SaveDialog1.setDefaultSuffix(QStringLiteral("txt"));
        // The question about an existing file is asked below, the same way
        // whichever dialog the system shows.
        SaveDialog1.setOption(QFileDialog::DontConfirmOverwrite);
        if (!chosen.isEmpty()) {
            const QFileInfo proposed(chosen);
            SaveDialog1.setDirectory(proposed.absolutePath());
            SaveDialog1.selectFile(proposed.fileName());
        }
        if (SaveDialog1.exec() != QDialog::Accepted || SaveDialog1.selectedFiles().isEmpty())
            return;
        chosen = SaveDialog1.selectedFiles().constFirst();
        const SaveTarget target = ExamineSaveTarget(chosen);
        if (target.kind == SaveTarget::Kind::Refused) {
            ShowFailure(chosen, target.reason);
            return;
        }
        // The proposed name is the same all day: a second export would replace
        // the first without a word. No goes back to the dialog.
        if (target.kind == SaveTarget::Kind::Existing && !ConfirmReplace(chosen))
            continue;
        const QString failure = Save(target.file, ui->Memo1->toPlainText());
        if (!failure.isEmpty())
            ShowFailure(chosen, failure);
        return;
    }
}

bool TFormShare::ConfirmReplace(const QString& path) {
    using i18n::TranslateText;
    return i18n::TranslatedMessageDlg(
               QStringLiteral("The file \"%1\" already exists. Replace it?")
                   .arg(QDir::toNativeSeparators(path)),
               i18n::MsgDlgType::Confirmation, i18n::MsgDlgBtn::Yes | i18n::MsgDlgBtn::No,
               {TranslateText(QStringLiteral("Yes")), TranslateText(QStringLiteral("No"))},
               TranslateText(QStringLiteral("Confirmation"))) == i18n::mrYes;
}

void TFormShare::ShowFailure(const QString& path, const QString& reason) {
    // The window stays open with its text; the message says why.
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                    QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString TFormShare::Save(const QString& path, const QString& text) {
    QSaveFile file(path);
    // Unbuffered: a write that fails (a full disk) fails here, where it is
    // seen, rather than in the flush on commit, whose failure this Qt lets
    // through and would rename an empty file over the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    const QByteArray bytes = SavedBytes(text);
    if (file.write(bytes) != bytes.size()) {
        QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace zentaro::share
