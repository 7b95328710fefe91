#include "about/aboutbox.h"

#include "about/aboutlinks.h"
#include "appfonts.h"
#include "i18n/catalogue.h"
#include "i18n/windowdragger.h"
#include "pictures.h"
#include "platform/shippedfiles.h"
#include "ui_aboutbox.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <initializer_list>

namespace zentaro::about {

namespace {

using assets::Tahoma;

constexpr int kClientWidth = 446;
constexpr int kClientHeight = 374;
constexpr int kRainInterval = 50;
constexpr int kSlideInterval = 5;
constexpr int kSlideStep = 5;
constexpr std::uint32_t kReopenGuardMs = 100;
// The rain's letters are set in a 12-pixel font with their baseline this far below
// the top of their 8 x 12 cell, so that "k", "e" and "x" sit inside it.
constexpr int kRainFontPixels = 12;
constexpr int kRainBaseline = 10;

using Widgets = std::initializer_list<QWidget*>;

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

std::uint32_t SteadyTicks() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The last menu ShowMenuBelowButton opened, kept between clicks and between
// windows. The pointers clear themselves when their objects go, so a new button
// that happens to get an old one's address is never taken for it.
struct MenuMemory {
    QPointer<QAbstractButton> button;
    QPointer<QMenu> menu;
    std::uint32_t closedAt = 0;
};

MenuMemory& LastMenu() {
    static MenuMemory memory;
    return memory;
}

} // namespace

void ShowMenuBelowButton(QAbstractButton* button, QMenu* menu, const TickCount& tickCount) {
    if (!button || !menu)
        return; // nothing to show, or nothing to show it below
    const auto now = [&] { return tickCount ? tickCount() : SteadyTicks(); };
    MenuMemory& last = LastMenu();
    if (last.button == button && last.menu == menu &&
        static_cast<std::uint32_t>(now() - last.closedAt) < kReopenGuardMs) {
        last.button = nullptr;
        last.menu = nullptr;
        return;
    }
    menu->exec(button->mapToGlobal(QPoint(0, button->height())));
    last.closedAt = now();
    last.button = button;
    last.menu = menu;
}

TAboutBox::TAboutBox(AboutBoxEnvironment environment, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TAboutBox>()), env_(std::move(environment)),
      rain_(env_.random), rainFont_(Tahoma(kRainFontPixels)) {
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    // Colour fringes of subpixel smoothing would show on the black.
    rainFont_.setStyleStrategy(QFont::NoSubpixelAntialias);
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(Tahoma(11));

    // Black all over; white text; the buttons dark, so that their white captions
    // read on the black panel.
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, Qt::white);
    black.setColor(QPalette::Button, QColor(0x2b, 0x2b, 0x2b));
    black.setColor(QPalette::ButtonText, Qt::white);
    setPalette(black);
    setAutoFillBackground(false); // paintEvent covers every pixel
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (QWidget* panel : Widgets{ui->Panel1, ui->PanelEgg})
        panel->setAutoFillBackground(true);
    for (QWidget* text : Widgets{ui->Label2, ui->BitBtn1, ui->BitBtn2})
        text->setFont(Tahoma(16));
    // The buttons' colours as a style sheet, which every style honours: a
    // native style paints a push button in the system's light face whatever
    // the palette says, and the white captions and arrow would vanish on it.
    const QString darkButton = QStringLiteral(
        "QPushButton { background-color: #2b2b2b; color: white; border: 1px solid #6e6e6e;"
        " border-radius: 2px; padding: 0 8px; }"
        "QPushButton:hover { background-color: #3c3c3c; }"
        "QPushButton:pressed { background-color: #1c1c1c; }"
        "QPushButton:focus { border-color: white; }");
    for (QPushButton* button : {ui->BitBtn1, ui->BitBtn2})
        button->setStyleSheet(darkButton);
    QPalette lime = ui->Label5->palette();
    lime.setColor(QPalette::WindowText, QColor(0x00, 0xFF, 0x00));
    ui->Label5->setPalette(lime);
    QFont link = Tahoma(11);
    link.setUnderline(true);
    ui->Label5->setFont(link);
    ui->BitBtn2->setIcon(assets::PictureIcon(QStringLiteral(":/icons/arrow.svg")));

    tmTimer = new QTimer(this);
    tmTimer->setObjectName(QStringLiteral("tmTimer"));
    tmTimer->setInterval(kRainInterval);
    connect(tmTimer, &QTimer::timeout, this, &TAboutBox::tmTimerTimer);
    TimerEgg = new QTimer(this);
    TimerEgg->setObjectName(QStringLiteral("TimerEgg"));
    TimerEgg->setInterval(kSlideInterval);
    connect(TimerEgg, &QTimer::timeout, this, &TAboutBox::TimerEggTimer);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(ui->Credits1);
    PopupMenu1->addAction(ui->Howtouninstall1);
    PopupMenu1->addAction(ui->LicensePrivacyPolicy1);

    connect(ui->BitBtn1, &QPushButton::clicked, this, &TAboutBox::BitBtn1Click);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &TAboutBox::BitBtn2Click);
    connect(ui->Credits1, &QAction::triggered, this, &TAboutBox::Credits1Click);
    connect(ui->Howtouninstall1, &QAction::triggered, this, &TAboutBox::Howtouninstall1Click);
    connect(ui->LicensePrivacyPolicy1, &QAction::triggered, this,
            &TAboutBox::LicensePrivacyPolicy1Click);
    // The body by which the window is dragged. The two pictures that take double
    // clicks and the link are watched here too, after the dragger, so that this
    // filter sees their events first.
    auto* dragger = new i18n::WindowDragger(this);
    dragger->addGrips({this, ui->Panel1, ui->Image1, ui->Label2, ui->Image2, ui->ImageEgg});
    for (QWidget* w : Widgets{ui->Image1, ui->ImageEgg, ui->Label5})
        w->installEventFilter(this);

    FormCreate();

    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen)
        move(screen->availableGeometry().center() - rect().center());
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::FormCreate() {
    using i18n::TranslateText;
    StartMatrix();
    setWindowTitle(FromStd(FormatWithOneString(
        TranslateText(QStringLiteral("About %s")).toStdString(), env_.AppProductName)));
    ui->Label2->setText(FromStd(env_.AppProductName + " " + env_.AppVersion));
    ui->BitBtn1->setText(TranslateText(QStringLiteral("OK")));
    ui->BitBtn2->setText(TranslateText(QStringLiteral("Info")));
    ui->Credits1->setText(TranslateText(QStringLiteral("Acknowledgements...")));
    ui->Howtouninstall1->setText(TranslateText(QStringLiteral("How to uninstall...")));
    ui->LicensePrivacyPolicy1->setText(TranslateText(QStringLiteral("License...")));
    ui->Label5->setText(FromStd(env_.serverHost));
    ui->Label5->setToolTip(FromStd(HomePageAddress(env_.serverHost)));
    HighDPIImageYukle();
    ui->PanelEgg->move((width() - ui->PanelEgg->width()) / 2,
                       (height() - ui->PanelEgg->height()) / 2);
    ui->BitBtn1->setFocus();
}

void TAboutBox::HighDPIImageYukle() {
    const qreal ratio = devicePixelRatioF();
    ui->Image1->setPixmap(
        assets::PictureIcon(QStringLiteral(":/zentaro.svg")).pixmap(QSize(32, 32), ratio));
    ui->Image2->clear();
    ui->Image2->setPixmap(assets::PicturePixmap(QStringLiteral(":/about/kestrix-logo.svg"),
                                                ui->Image2->size(), ratio, false));
    // The cat is square; stretched to the panel's shape it would not look like one.
    ui->ImageEgg->clear();
    ui->ImageEgg->setPixmap(assets::PicturePixmap(QStringLiteral(":/about/cat.svg"),
                                                  ui->ImageEgg->size(), ratio, true));
}

void TAboutBox::FormAfterMonitorDpiChanged() {
    HighDPIImageYukle();
    InitMatrix(); // a surface of the new resolution
}

void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!screenWatched_ && windowHandle()) {
        screenWatched_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this,
                &TAboutBox::FormAfterMonitorDpiChanged);
    }
}

// --- The rain

void TAboutBox::StartMatrix() {
    rain_.StartMatrix(width(), height());
    InitMatrix();
    tmTimer->start(kRainInterval);
}

// A fresh black surface of the size the rain was started with, and fresh drops.
void TAboutBox::InitMatrix() {
    if (!rain_.started())
        return; // nothing to draw on yet
    const qreal ratio = devicePixelRatioF();
    outCanvas_ =
        QImage(QSize(rain_.bitmapWidth(), rain_.bitmapHeight()) * ratio, QImage::Format_RGB32);
    outCanvas_.setDevicePixelRatio(ratio);
    outCanvas_.fill(Qt::black);
    rain_.InitMatrix();
    update();
}

void TAboutBox::tmTimerTimer() {
    rain_.MatrixTick();
    DrawChanges();
}

// Draws the cells the rain changed onto the surface, and has the window show the
// ones that the panels do not cover.
void TAboutBox::DrawChanges() {
    const std::vector<RainCellChange> changes = rain_.TakeChanges();
    if (changes.empty() || outCanvas_.isNull())
        return;
    QRegion covered;
    for (QWidget* panel : Widgets{ui->Panel1, ui->PanelEgg})
        if (panel->isVisibleTo(this))
            covered += panel->geometry();

    QPainter painter(&outCanvas_);
    painter.setFont(rainFont_);
    QRegion shown;
    for (const RainCellChange& change : changes) {
        const QRect cell(change.column * MatrixRain::kCharWidth,
                         change.row * MatrixRain::kCharHeight, MatrixRain::kCharWidth,
                         MatrixRain::kCharHeight);
        painter.fillRect(cell, Qt::black);
        if (change.cell.lit()) {
            const RainColour& c = change.cell.colour;
            painter.setPen(QColor(c.red, c.green, c.blue));
            painter.drawText(QPoint(cell.x(), cell.y() + kRainBaseline),
                             QString(QLatin1Char(change.cell.character)));
        }
        if (!covered.contains(cell))
            shown += cell;
    }
    painter.end();
    update(shown - covered);
}

void TAboutBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (outCanvas_.isNull()) {
        painter.fillRect(event->rect(), Qt::black);
        return;
    }
    const QRect target = event->rect();
    const qreal ratio = outCanvas_.devicePixelRatio();
    painter.fillRect(target, Qt::black); // beyond the surface, should the window grow
    painter.drawImage(QRectF(target), outCanvas_,
                      QRectF(QPointF(target.topLeft()) * ratio, QSizeF(target.size()) * ratio));
}

void TAboutBox::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    InitMatrix();
}

// --- The picture behind the panel

void TAboutBox::Image1DblClick() {
    if (TimerEgg->isActive())
        return;
    ui->PanelEgg->show();
    ui->PanelEgg->stackUnder(ui->Panel1);
    TimerEgg->start();
}

void TAboutBox::TimerEggTimer() {
    ui->Panel1->move(ui->Panel1->x() + kSlideStep, ui->Panel1->y());
    if (ui->Panel1->x() > width())
        TimerEgg->stop();
}

void TAboutBox::ImageEggDblClick() {
    if (TimerEgg->isActive())
        return;
    ui->PanelEgg->hide();
    ui->Panel1->move((width() - ui->Panel1->width()) / 2, ui->Panel1->y());
}

// --- The link and the pictures' double clicks

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->Label5) {
        // A link, not a handle to drag the window by.
        if (event->type() == QEvent::MouseButtonPress)
            return true;
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                ui->Label5->rect().contains(mouse->position().toPoint()))
                Label5Click();
        }
        return false;
    }
    // Passed on: a double click is also the second press of a drag.
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == ui->Image1)
            Image1DblClick();
        else if (watched == ui->ImageEgg)
            ImageEggDblClick();
    }
    return QDialog::eventFilter(watched, event);
}

// --- Commands

void TAboutBox::BitBtn1Click() {
    close();
}

void TAboutBox::BitBtn2Click() {
    ShowMenuBelowButton(ui->BitBtn2, PopupMenu1, env_.tickCount);
}

void TAboutBox::OpenUrl(const std::string& url) {
    if (env_.opener)
        env_.opener->OpenUrl(url); // what the desktop makes of it is not reported
}

void TAboutBox::Label5Click() {
    OpenUrl(HomePageAddress(env_.serverHost));
}

void TAboutBox::Credits1Click() {
    OpenUrl(AcknowledgementsAddress(env_.serverHost));
}

void TAboutBox::Howtouninstall1Click() {
    OpenUrl(UninstallGuideAddress(env_.serverHost));
}

void TAboutBox::LicensePrivacyPolicy1Click() {
    using i18n::TranslateText;
    // Beside the program, or where an installation keeps it.
    const QString path = QString::fromStdString(
        platform::ShippedPath(env_.programFolder, "license.txt", platform::ShippedKind::File));
    // A link counts when it leads to a file.
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        if (env_.textViewer)
            env_.textViewer->ShowTextFile(QDir::toNativeSeparators(path).toStdString());
        return;
    }
    QMessageBox box(QMessageBox::Critical, TranslateText(QStringLiteral("License")),
                    TranslateText(QStringLiteral("File not found!")), QMessageBox::Ok, this);
    box.exec();
}

} // namespace zentaro::about
