#include "i18n/translation.h"

#include "appfonts.h"
#include "i18n/catalogue.h"
#include "i18n/languagechoice.h"
#include "i18n/messagedlg.h"
#include "inkicon.h"
#include "pictures.h"
#include "platform/files.h"
#include "ui_translation.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyledItemDelegate>
#include <algorithm>

namespace zentaro::i18n {

namespace {

using assets::Tahoma;

constexpr int kClientWidth = 622;
constexpr int kClientHeight = 227;
constexpr int kPictureSize = 16;
constexpr int kEntryHeight = 18;

// A flag of 4:3 in the middle of the 16 x 16 picture square.
QIcon FlagIcon(const QString& picture, qreal ratio) {
    QPixmap pixmap(QSize(kPictureSize, kPictureSize) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const QRectF flag(0, 2, kPictureSize, kPictureSize - 4);
    painter.drawPixmap(flag.topLeft(),
                       assets::PicturePixmap(QStringLiteral(":/flags/%1.svg").arg(picture),
                                             flag.size().toSize(), ratio, true));
    // A thin edge, so that a flag with a white field does not melt into the list.
    painter.setPen(QPen(QColor(0, 0, 0, 60), 0));
    painter.drawRect(flag.adjusted(0, 0, -1.0 / ratio, -1.0 / ratio));
    painter.end();
    return QIcon(pixmap);
}

// Sizes a one-line label to its text with room for all of its ink: a font may
// give itself less height than its accented capitals and its descenders (and an
// underline) reach, and the label would cut off the dots of an "Ü".
void FitToInk(QLabel* label) {
    const QFontMetrics metrics(label->font());
    const QRect ink = metrics.boundingRect(label->text());
    int below = ink.bottom() + 1;
    if (label->font().underline())
        below = std::max(below, metrics.underlinePos() + metrics.lineWidth());
    label->setContentsMargins(0, std::max(0, -ink.top() - metrics.ascent()), 0,
                              std::max(0, below - metrics.descent()));
    label->adjustSize();
}

// Entries of the language list, 18 pixels high.
class EntryDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(kEntryHeight);
        return size;
    }
};

} // namespace

TTranslateForm::TTranslateForm(TranslateFormEnvironment environment, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TTranslateForm>()), env_(std::move(environment)) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(Tahoma(11));

    ui->ComboBox1->setItemDelegate(new EntryDelegate(ui->ComboBox1));
    // The credit box shows the button face, not the white of an editable field.
    QPalette face = ui->RichEdit1->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    ui->RichEdit1->setPalette(face);

    // The link colour of the palette in use (blue in a light one), made
    // readable on the window where a dark palette leaves it too dark.
    QPalette link = ui->Label3->palette();
    link.setColor(QPalette::WindowText, assets::ReadableLinkColour(link));
    ui->Label3->setPalette(link);
    QFont underlined = ui->Label3->font();
    underlined.setUnderline(true);
    ui->Label3->setFont(underlined);
    ui->Label3->setToolTip(TranslationPageAddress(env_.serverHost));
    ui->Label3->installEventFilter(this);

    ui->Button1->setIcon(assets::PictureIcon(QStringLiteral(":/icons/tick_button.svg")));
    ui->Copy1->setIcon(assets::InkIcon(QStringLiteral(":/icons/copy.svg")));
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(ui->Copy1);
    PopupMenu1->addAction(ui->SelectAll1);

    FormCreate();

    connect(ui->ComboBox1, &QComboBox::currentIndexChanged, this, &TTranslateForm::ComboBox1Change);
    connect(ui->RichEdit1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu1->popup(ui->RichEdit1->viewport()->mapToGlobal(at));
    });
    connect(ui->Copy1, &QAction::triggered, this, &TTranslateForm::Copy1Click);
    connect(ui->SelectAll1, &QAction::triggered, this, &TTranslateForm::SelectAll1Click);
    connect(ui->Button1, &QPushButton::clicked, this, &TTranslateForm::Button1Click);

    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen)
        move(screen->availableGeometry().center() - rect().center());
}

TTranslateForm::~TTranslateForm() = default;

void TTranslateForm::FormCreate() {
    setWindowTitle(TranslateText(QStringLiteral("Language")));
    ui->Label1->setText(TranslateText(QStringLiteral("User Interface Language:")));
    ui->Label2->setText(TranslateText(QStringLiteral("Translated by:")));
    ui->Button1->setText(TranslateText(QStringLiteral("OK")));
    ui->Label3->setText(TranslateText(QStringLiteral("Contribute to Translation")));
    FitToInk(ui->Label3);
    ui->Copy1->setText(TranslateText(QStringLiteral("Copy")));
    ui->SelectAll1->setText(TranslateText(QStringLiteral("Select All")));

    const QStringList entries = LanguageEntries(LanguageFiles());
    ui->ComboBox1->clear();
    for (const QString& entry : entries)
        ui->ComboBox1->addItem(FlagIcon(FlagPictureFor(entry), devicePixelRatioF()), entry);
    // The built-in "English" stays selected unless a language file was loaded; of
    // equal entries, the first in the list.
    qsizetype selected = entries.indexOf(QStringLiteral("English"));
    if (const QString& loaded = CurrentLanguageName(); !loaded.isEmpty()) {
        if (const qsizetype at = entries.indexOf(loaded); at >= 0)
            selected = at;
    }
    ui->ComboBox1->setCurrentIndex(static_cast<int>(selected));
    ComboBox1Change();
    InitialLanguage_ = ui->ComboBox1->currentText();
}

void TTranslateForm::ComboBox1Change() {
    const QStringList lines =
        CreditLines(CreditFor(LanguagesFolder(), ui->ComboBox1->currentText()));
    ui->RichEdit1->setPlainText(lines.join(u'\n'));
}

void TTranslateForm::Copy1Click() {
    ui->RichEdit1->copy();
}

void TTranslateForm::SelectAll1Click() {
    ui->RichEdit1->selectAll();
}

void TTranslateForm::Label3Click() {
    if (env_.opener)
        env_.opener->OpenUrl(TranslationPageAddress(env_.serverHost).toStdString());
}

void TTranslateForm::Button1Click() {
    const QString language = ui->ComboBox1->currentText();
    if (language == InitialLanguage_) {
        close();
        return;
    }
    const int answer = TranslatedMessageDlg(
        TranslateText(QStringLiteral("Restart Application?")), MsgDlgType::Confirmation,
        MsgDlgBtn::Yes | MsgDlgBtn::No,
        {TranslateText(QStringLiteral("Yes")), TranslateText(QStringLiteral("No"))},
        TranslateText(QStringLiteral("Confirmation")));
    if (answer != mrYes)
        return; // the window stays, with its selection
    Restart(language);
}

// Writes the restart script into the data folder, hands the choice over and starts
// the script; the script waits until this program has ended, then starts it again.
// When the script cannot be written or the choice cannot be kept, the program
// says why, keeps its language and goes on running.
void TTranslateForm::Restart(const QString& language) {
    // Separators as Qt writes them; the system's own again where paths leave the program.
    QString folder = QDir::fromNativeSeparators(QString::fromStdString(env_.DataFolder));
    if (folder.isEmpty() || !env_.restarter) {
        ShowError(QStringLiteral("The program cannot restart itself: it has no data folder."));
        return;
    }
    if (!folder.endsWith(u'/'))
        folder += u'/';
    const std::optional<std::string> script = env_.restarter->ScriptFor(env_.executablePath);
    if (!script) {
        ShowError(QStringLiteral("The program cannot restart itself from \"%1\".")
                      .arg(QString::fromStdString(env_.executablePath)));
        return;
    }
    const QString path = folder + QString::fromStdString(env_.restarter->ScriptName());
    // A new file in place of whatever has the name: a link is not followed and a
    // FIFO is not waited on.
    std::string error;
    if (!platform::WriteNewFile(QDir::toNativeSeparators(path).toStdString(), *script, error)) {
        ShowError(QStringLiteral("Cannot create file \"%1\". %2")
                      .arg(QDir::toNativeSeparators(path), QString::fromUtf8(error)));
        return;
    }
    // A restart that cannot take the choice along would come back in the old
    // language with not a word: better to say so and go on as before.
    QString why;
    if (env_.SetLanguageFile &&
        !env_.SetLanguageFile(language + QStringLiteral(".lang.txt"), why)) {
        ShowError(QStringLiteral("The language cannot be kept for the next start, so the "
                                 "program does not restart.\n\n%1")
                      .arg(why));
        return;
    }
    QCoreApplication::processEvents();

    // Whether the script started is not looked at: the program ends either way.
    env_.restarter->RunScript(QDir::toNativeSeparators(path).toStdString(),
                              QDir::toNativeSeparators(folder).toStdString());
    QCoreApplication::processEvents();
    accept();
    if (env_.endApplication)
        env_.endApplication();
}

void TTranslateForm::ShowError(const QString& message) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), message,
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool TTranslateForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->Label3 && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            ui->Label3->rect().contains(mouse->position().toPoint()))
            Label3Click();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace zentaro::i18n
