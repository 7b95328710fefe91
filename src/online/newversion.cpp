#include "online/newversion.h"

#include "appfonts.h"
#include "i18n/catalogue.h"
#include "i18n/windowdragger.h"
#include "inkicon.h"
#include "online/check.h"
#include "pictures.h"
#include "ui_newversion.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QVariantAnimation>
#include <algorithm>

namespace zentaro::online {

namespace {

constexpr int kClientWidth = 320;
constexpr int kClientHeight = 68;
constexpr int kScreenMargin = 5;
constexpr int kAnimationMs = 100;

QFont Tahoma(int pixels, bool bold = false, bool underline = false) {
    QFont font = assets::Tahoma(pixels, bold);
    font.setUnderline(underline);
    return font;
}

} // namespace

TNewVer::TNewVer(QWidget* mainWindow, Inputs inputs, std::shared_ptr<platform::Opener> opener)
    : QWidget(mainWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                              Qt::WindowDoesNotAcceptFocus),
      ui(std::make_unique<Ui::TNewVer>()), inputs_(std::move(inputs)), opener_(std::move(opener)),
      mainWindow_(mainWindow) {
    ui->setupUi(this);
    // Typing goes on reaching the main window while the notice is shown.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(Tahoma(11));
    ui->Label1->setFont(Tahoma(13, true));
    ui->Label2->setFont(Tahoma(13, false, true));
    QPalette background = palette();
    background.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    setPalette(background);
    setAutoFillBackground(true);
    ui->Button1->setIcon(assets::InkIcon(QStringLiteral(":/icons/close.svg")));

    // Drag sources: the window, its frame, the icon, the heading and the button's
    // strip. The link, the panel around it and the button itself are not.
    dragger_ = new i18n::WindowDragger(this);
    dragger_->addGrips({this, ui->Panel1, ui->Image1, ui->Label1, ui->Panel3});
    ui->Label2->installEventFilter(this);
    ui->Panel2->setAttribute(Qt::WA_NoMousePropagation);
    ui->Label2->setAttribute(Qt::WA_NoMousePropagation);
    connect(ui->Button1, &QPushButton::clicked, this, &TNewVer::Button1Click);

    TimerStart = new QTimer(this);
    TimerStart->setObjectName(QStringLiteral("TimerStart"));
    TimerStart->setInterval(1);
    connect(TimerStart, &QTimer::timeout, this, &TNewVer::TimerStartTimer);
    TimerClose = new QTimer(this);
    TimerClose->setObjectName(QStringLiteral("TimerClose"));
    TimerClose->setInterval(1000);
    connect(TimerClose, &QTimer::timeout, this, &TNewVer::TimerCloseTimer);
    TimerLink = new QTimer(this);
    TimerLink->setObjectName(QStringLiteral("TimerLink"));
    TimerLink->setInterval(100);
    connect(TimerLink, &QTimer::timeout, this, &TNewVer::TimerLinkTimer);

    animation_ = new QVariantAnimation(this);
    animation_->setDuration(kAnimationMs);
    connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        // The visible part: a rectangle about the centre, value of the full size.
        const double share = value.toDouble();
        const int w = std::max(1, qRound(width() * share));
        const int h = std::max(1, qRound(height() * share));
        setMask(QRegion((width() - w) / 2, (height() - h) / 2, w, h));
    });
    connect(animation_, &QVariantAnimation::finished, this, [this] {
        if (opening_)
            clearMask();
        else
            close();
    });

    FormCreate();
    TimerStart->start();
    TimerClose->start();
    TimerLink->start();
}

TNewVer::~TNewVer() = default;

void TNewVer::FormCreate() {
    QPixmap icon = assets::PictureIcon(QStringLiteral(":/zentaro.svg")).pixmap(QSize(48, 48));
    ui->Image1->setPixmap(icon);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + area.width() - width() - kScreenMargin, area.y() + kScreenMargin);
    }

    ui->Label1->setText(i18n::TranslateText(QStringLiteral("UPDATE AVAILABLE")));
    ui->Label2->setText(i18n::TranslateText(QStringLiteral("Click to download")) + u' ' +
                        inputs_.AppProductName + u' ' + inputs_.LatestVersion);
    TimerLinkTimer();
}

void TNewVer::TimerStartTimer() {
    TimerStart->stop();
    Animate(true);
    show();
    // The notice takes no focus; should the system have moved it all the same,
    // it goes back to the main window.
    if (mainWindow_)
        mainWindow_->activateWindow();
}

void TNewVer::TimerCloseTimer() {
    --CloseCountdown_;
    if (CloseCountdown_ <= 0) {
        TimerClose->stop();
        Animate(false);
    }
}

void TNewVer::TimerLinkTimer() {
    const bool over = ui->Label2->rect().contains(ui->Label2->mapFromGlobal(QCursor::pos()));
    const QPalette style = QApplication::palette();
    QPalette link = ui->Label2->palette();
    link.setColor(QPalette::WindowText,
                  style.color(over ? QPalette::Highlight : QPalette::WindowText));
    ui->Label2->setPalette(link);
}

void TNewVer::Label2Click() {
    if (opener_)
        opener_->OpenUrl(DownloadAddress(inputs_.DownloadURL, inputs_.ServerHost).toStdString());
    close();
}

void TNewVer::Button1Click() {
    close();
}

void TNewVer::closeEvent(QCloseEvent* event) {
    // Only hidden: the notice is not shown again during this run, and its
    // timers have nothing more to do.
    animation_->stop();
    clearMask();
    TimerStart->stop();
    TimerClose->stop();
    TimerLink->stop();
    dragger_->stop();
    QWidget::closeEvent(event);
}

void TNewVer::Animate(bool opening) {
    animation_->stop();
    opening_ = opening;
    if (opening)
        setMask(QRegion(width() / 2, height() / 2, 1, 1));
    animation_->setStartValue(opening ? 0.0 : 1.0);
    animation_->setEndValue(opening ? 1.0 : 0.0);
    animation_->start();
}

bool TNewVer::dragging() const {
    return dragger_->dragging();
}

// --- The link

bool TNewVer::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
        return QWidget::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);

    if (watched == ui->Label2) {
        // The link: a click of the left button, released over it.
        if (mouse->button() != Qt::LeftButton)
            return false;
        if (type == QEvent::MouseButtonPress) {
            linkPressed_ = true;
        } else if (type == QEvent::MouseButtonRelease) {
            const bool click =
                linkPressed_ && ui->Label2->rect().contains(mouse->position().toPoint());
            linkPressed_ = false;
            if (click)
                Label2Click();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zentaro::online
