#include "app/appform.h"

#include "about/aboutbox.h"
#include "app/application.h"
#include "app/queuedposter.h"
#include "app/shellrules.h"
#include "appfonts.h"
#include "engine/rating.h"
#include "engine/resulttext.h"
#include "engine/workloads.h"
#include "i18n/catalogue.h"
#include "i18n/languagechoice.h"
#include "i18n/messagedlg.h"
#include "i18n/translation.h"
#include "inkicon.h"
#include "online/feedback.h"
#include "online/newversion.h"
#include "online/updatecheck.h"
#include "pictures.h"
#include "settings/settingsstore.h"
#include "share/report.h"
#include "share/shareform.h"
#include "share/sharelinks.h"
#include "sysinfo/processorinfo.h"
#include "ui_appform.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QImage>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <exception>

namespace zentaro::app {

namespace {

using assets::Tahoma;

// The design resolution of the window's sizes.
constexpr int kFormDpi = 96;
constexpr int kClientWidth = 485;
constexpr int kClientHeight = 420;
constexpr int kTopAreaHeight = 137;
constexpr int kMargin = 3;
constexpr int kBarHeight = 25;
// The smallest size the processor's name is shrunk to before it is shortened.
constexpr int kMinimumNamePoints = 8;
// How long a restart with administrator rights waits for the user's answer.
constexpr int kElevationWaitMs = 5 * 60'000;

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

TAppForm::TAppForm(AppEnvironment environment, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TAppForm>()), env_(std::move(environment)) {
    ui->setupUi(this);

    // Named separators, so that the one below "Run as Administrator" can be
    // hidden with it.
    N1 = ui->File1->insertSeparator(ui->Exit1);
    N1->setObjectName(QStringLiteral("N1"));
    N3 = ui->Help1->insertSeparator(ui->UpdateNotifications1);
    N3->setObjectName(QStringLiteral("N3"));
    UpdateNotificationsBar = ui->Help1->insertSeparator(ui->Language1);
    UpdateNotificationsBar->setObjectName(QStringLiteral("UpdateNotificationsBar"));

    testTypes_ = new QActionGroup(this);
    testTypes_->setExclusive(true);
    const std::tuple<QAction*, WorkloadKind, void (TAppForm::*)()> types[] = {
        {ui->Default1, WorkloadKind::Default, &TAppForm::Default1Click},
        {ui->IntegerArithmetic1, WorkloadKind::IntegerArithmetic,
         &TAppForm::IntegerArithmetic1Click},
        {ui->FloatingPointArithmetic1, WorkloadKind::FloatingPoint,
         &TAppForm::FloatingPointArithmetic1Click},
        {ui->rigonometric1, WorkloadKind::Trigonometric, &TAppForm::rigonometric1Click},
        {ui->BranchPredictionandControl1, WorkloadKind::Branch,
         &TAppForm::BranchPredictionandControl1Click},
        {ui->BitwiseLogic1, WorkloadKind::BitwiseLogic, &TAppForm::BitwiseLogic1Click},
    };
    for (const auto& [item, kind, handler] : types) {
        item->setData(QVariant::fromValue(kind));
        testTypes_->addAction(item);
        connect(item, &QAction::triggered, this, handler);
    }
    connect(ui->Exit1, &QAction::triggered, this, &TAppForm::Exit1Click);
    connect(ui->Help2, &QAction::triggered, this, &TAppForm::Help2Click);
    connect(ui->RunasAdministrator1, &QAction::triggered, this,
            &TAppForm::RunasAdministrator1Click);
    connect(ui->Button1, &QPushButton::clicked, this, &TAppForm::Button1Click);
    connect(ui->Button2, &QPushButton::clicked, this, &TAppForm::Button2Click);
    // Enter presses a focused run button, as Space does; in the length field
    // it starts a single-core run.
    ui->Button1->setAutoDefault(true);
    ui->Button2->setAutoDefault(true);
    connect(ui->SpinEdit1, &TestLengthSpinBox::returnPressed, this, &TAppForm::Button1Click);
    // Result sharing
    connect(ui->ButtonShare, &QToolButton::clicked, this, &TAppForm::ButtonShareClick);
    connect(ui->ButtonTwitter, &QToolButton::clicked, this, &TAppForm::ButtonTwitterClick);
    connect(ui->ButtonFacebook, &QToolButton::clicked, this, &TAppForm::ButtonFacebookClick);
    // About window and language window
    connect(ui->About1, &QAction::triggered, this, &TAppForm::About1Click);
    connect(ui->Language1, &QAction::triggered, this, &TAppForm::Language1Click);
    // The menu has toggled the check mark already; the handler toggles it itself.
    connect(ui->UpdateNotifications1, &QAction::triggered, this, [this](bool checked) {
        ui->UpdateNotifications1->setChecked(!checked);
        UpdateNotifications1Click();
    });
    connect(ui->SendFeedback1, &QAction::triggered, this, &TAppForm::SendFeedback1Click);

    // Fonts: Tahoma 11 px for the window, 16 px in the two areas, values bold.
    setFont(Tahoma(11));
    for (QLabel* caption : {ui->Label8, ui->Label1, ui->Label16, ui->Label18, ui->Label21})
        caption->setFont(Tahoma(16));
    for (QLabel* value : {ui->Label9, ui->Label2, ui->Label17, ui->Label19, ui->Label20})
        value->setFont(Tahoma(16, true));
    ui->GroupBox1->setFont(Tahoma(16));
    for (QLabel* value : {ui->Label6, ui->Label7, ui->Label11})
        value->setFont(Tahoma(16, true));
    ui->LabelPercent->setFont(Tahoma(13));
    ui->SpinEdit1->WidenToFit();
    for (QLabel* label : ui->centralwidget->findChildren<QLabel*>())
        if (label != ui->Image1 && label != ui->Image2)
            label->adjustSize();

    // One-colour pictures take the palette's text colour, dark or light.
    ui->ButtonShare->setIcon(assets::InkIcon(QStringLiteral(":/icons/share48.svg")));
    ui->ButtonTwitter->setIcon(assets::InkIcon(QStringLiteral(":/icons/x-logo.svg")));
    const std::pair<QAction*, const char*> menuIcons[] = {
        {ui->RunasAdministrator1, "admin"},
        {ui->Exit1, "exit"},
        {ui->Help2, "help"},
        {ui->Language1, "flag"},
        {ui->SendFeedback1, "feedback"},
        {ui->About1, "about"},
    };
    for (const auto& [item, name] : menuIcons)
        item->setIcon(assets::InkIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name))));
    ui->ButtonFacebook->setIcon(assets::PictureIcon(QStringLiteral(":/icons/facebook.svg")));

    // The grey cover over the right-hand part of the gradient.
    QPalette cover = ui->Image2->palette();
    cover.setColor(QPalette::Window,
                   QColor(kCoverColour.red, kCoverColour.green, kCoverColour.blue));
    ui->Image2->setPalette(cover);
    ui->Image2->setAutoFillBackground(true);

    // A fixed window of 485 x 420 client pixels: no resizing, no maximising.
    ui->centralwidget->setFixedSize(kClientWidth, kClientHeight);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    LayOutTestArea();

    // A thin bar along the bottom edge shows the progress of a long run; it
    // moves nothing of the layout.
    progress_ = new QProgressBar(ui->centralwidget);
    progress_->setObjectName(QStringLiteral("RunProgress"));
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    progress_->setGeometry(0, kClientHeight - 4, kClientWidth, 4);
    progress_->hide();
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(100);
    connect(progressTimer_, &QTimer::timeout, this, &TAppForm::ShowProgress);
    elevationWatch_ = new QTimer(this);
    elevationWatch_->setObjectName(QStringLiteral("ElevationWatch"));
    elevationWatch_->setInterval(100);
    connect(elevationWatch_, &QTimer::timeout, this, &TAppForm::WatchElevatedStart);
    auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(stop, &QShortcut::activated, this, &TAppForm::StopRun);

    poster_ = std::make_shared<QueuedPoster>(this);
    updateCheck_ = std::make_unique<online::UpdateCheck>(env_.online, FromStd(env_.serverHost),
                                                         FromStd(env_.testing.settingsFile));
    if (env_.systemInfo)
        workers_ = std::max<std::uint32_t>(1, env_.systemInfo->Basic().logicalProcessors);
    if (env_.clockSpeed)
        sampler_.emplace(*env_.clockSpeed);

    TimerMhz = new QTimer(this);
    TimerMhz->setObjectName(QStringLiteral("TimerMhz"));
    TimerMhz->setInterval(1000);
    connect(TimerMhz, &QTimer::timeout, this, &TAppForm::TimerMhzTimer);
    TimerChecker = new QTimer(this);
    TimerChecker->setObjectName(QStringLiteral("TimerChecker"));
    TimerChecker->setInterval(1000);
    connect(TimerChecker, &QTimer::timeout, this, &TAppForm::TimerCheckerTimer);
    TimerMhz->start();
    TimerChecker->start();

    FormCreate();

    setFixedSize(sizeHint());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TAppForm::~TAppForm() {
    FormDestroy();
    WithdrawElevatedStart();
    poster_->detach();
    if (running_) {
        if (run_)
            run_->requestStop();
        QApplication::restoreOverrideCursor();
    }
}

// The steps of the window's creation, in order. A step that fails is shown in
// the application's error box; the steps after it are skipped and the window
// opens all the same.
void TAppForm::FormCreate() {
    try {
        const TEXEVersionData version = ReadExeVersionData(*env_.versions, env_.executableImage);
        identity_.AppCompanyName = version.CompanyName;
        identity_.AppProductName = version.ProductName;
        identity_.AppVersion =
            FormatAppVersion(ReadExeFileVersion(*env_.versions, env_.executableImage));
        identity_.AppTitle = identity_.AppCompanyName + " - " + identity_.AppProductName;
        setWindowTitle(FromStd(identity_.AppTitle));

        DataFolder_ = ChooseDataFolder(env_.programFolder, *env_.dataFolders,
                                       identity_.AppCompanyName, identity_.AppProductName);

        if (env_.elevation->IsElevated()) {
            ui->RunasAdministrator1->setVisible(false);
            N1->setVisible(false);
        }

        // The language chosen in the language window, if any; else the display language's.
        i18n::LoadLanguage(StoredLanguageFile(), QString::fromStdString(env_.languagesFolder),
                           *env_.userLanguage);
        HighDPIGradientYukle();
        StylePanel5();
        // (Nothing to initialise for the clock-speed source here.)
        GetCPUInfo();
        ShowSystemCPUArchitecture();
        KacMhzOlc();
    } catch (const std::exception& e) {
        ShowDefaultError(QString::fromUtf8(e.what()));
    }
}

void TAppForm::FormDestroy() {}

void TAppForm::SetValue(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
}

// --- Test types

// The chosen kind travels in the item's data; TestType keeps its English name.
void TAppForm::SetTestType(QAction* item) {
    TestType = std::string(TestTypeValue(item->data().value<WorkloadKind>()));
    item->setChecked(true);
}

void TAppForm::Default1Click() {
    SetTestType(ui->Default1);
}
void TAppForm::IntegerArithmetic1Click() {
    SetTestType(ui->IntegerArithmetic1);
}
void TAppForm::FloatingPointArithmetic1Click() {
    SetTestType(ui->FloatingPointArithmetic1);
}
void TAppForm::rigonometric1Click() {
    SetTestType(ui->rigonometric1);
}
void TAppForm::BranchPredictionandControl1Click() {
    SetTestType(ui->BranchPredictionandControl1);
}
void TAppForm::BitwiseLogic1Click() {
    SetTestType(ui->BitwiseLogic1);
}

// --- Runs

void TAppForm::Button1Click() {
    StartRun(false);
}

void TAppForm::Button2Click() {
    StartRun(true);
}

void TAppForm::StartRun(bool multiCore) {
    if (running_)
        return;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    const int length = ui->SpinEdit1->settle();
    const RunRequest request{testTypes_->checkedAction()->data().value<WorkloadKind>(),
                             env_.testing.operationCount.value_or(OperationCountForLength(length)),
                             env_.testing.runClock};
    OperationCount = request.operationCount; // the process-wide value, as the workers' record
    QWidget* focused = focusWidget();
    ui->Button1->setEnabled(false);
    ui->Button2->setEnabled(false);
    runFocus_ = focused == ui->Button1 || focused == ui->Button2 ? focused : nullptr;
    focusDuringRun_ = focusWidget();
    running_ = true;

    DisplayStep display = [this](const RunOutcome& outcome) { ShowOutcome(outcome); };
    const auto post = QueuedPoster::PosterFor(poster_);
    run_ = multiCore ? StartMultiCoreRun(request, workers_, post, display)
                     : StartSingleCoreRun(request, post, display);
    runTime_.start();
    progressTimer_->start();
}

// The display step, on this window's thread.
void TAppForm::ShowOutcome(const RunOutcome& outcome) {
    if (!running_)
        return;
    running_ = false;
    progressTimer_->stop();
    progress_->hide();
    const std::string separator = QLocale().decimalPoint().toStdString();
    QLabel* speed = outcome.multiCore ? ui->Label11 : ui->Label7;
    switch (outcome.status) {
    case RunOutcome::Status::Completed:
        SetValue(ui->Label6, FromStd(ElapsedText(outcome.elapsedSeconds, separator)));
        SetValue(speed, FromStd(SpeedText(outcome.score, separator)));
        ui->Label6->setEnabled(true);
        speed->setEnabled(true);
        ui->Button1->setEnabled(true);
        ui->Button2->setEnabled(true);
        ui->ButtonShare->setVisible(true);
        ui->ButtonTwitter->setVisible(true);
        ui->ButtonFacebook->setVisible(true);
        SonucRenkHesapla(outcome.ratingValue());
        break;
    case RunOutcome::Status::TooShort:
        // Under one whole millisecond there is no speed to show; the value
        // stays greyed, as for a mode not yet tested.
        SetValue(ui->Label6, FromStd(ElapsedText(outcome.elapsedSeconds, separator)));
        ui->Label6->setEnabled(true);
        SetValue(speed, QStringLiteral("Too short to measure"));
        speed->setEnabled(false);
        break;
    case RunOutcome::Status::Stopped:
    case RunOutcome::Status::Failed:
        break; // no result: the labels keep what they showed
    }
    ui->Button1->setEnabled(true);
    ui->Button2->setEnabled(true);
    // Disabling the focused run button moved the focus on, to Export once that
    // shows, where the next Enter would open it: the focus goes back to the
    // button, unless the user has moved it meanwhile.
    if (runFocus_ && focusWidget() == focusDuringRun_)
        runFocus_->setFocus(Qt::OtherFocusReason);
    runFocus_ = nullptr;
    QApplication::restoreOverrideCursor();
}

void TAppForm::StopRun() {
    if (running_ && run_)
        run_->requestStop();
}

void TAppForm::ShowProgress() {
    if (!running_ || !run_ || runTime_.elapsed() < 1000)
        return;
    progress_->setValue(static_cast<int>(std::clamp(run_->progress(), 0.0, 1.0) * 1000));
    if (progress_->isHidden()) {
        progress_->show();
        progress_->raise();
    }
}

void TAppForm::closeEvent(QCloseEvent* event) {
    // Nothing waits for the workers: a run in progress is told to stop, and
    // its result, should one still come, finds no window.
    StopRun();
    poster_->detach();
    WithdrawElevatedStart();
    QMainWindow::closeEvent(event);
    // The close box ends the program as Exit does, whatever other window of
    // ours is still open.
    if (event->isAccepted())
        QCoreApplication::quit();
}

// --- Rating bar

void TAppForm::LayOutTestArea() {
    const int bottom = kClientHeight - (ui->Panel5->isHidden() ? 0 : kBarHeight);
    ui->GroupBox1->setGeometry(kMargin, kTopAreaHeight + kMargin, kClientWidth - 2 * kMargin,
                               bottom - kMargin - (kTopAreaHeight + kMargin));
    ui->Panel5->setGeometry(0, kClientHeight - kBarHeight, kClientWidth, kBarHeight);
}

void TAppForm::HighDPIGradientYukle() {
    const int width = ScaleDimension(kGradientWidth);
    const int height = ScaleDimension(kGradientHeight);
    QImage image(width, height, QImage::Format_RGB32);
    for (int x = 0; x < width; ++x) {
        const Rgb c = GradientColour(x, width);
        const QRgb rgb = qRgb(c.red, c.green, c.blue);
        for (int y = 0; y < height; ++y)
            image.setPixel(x, y, rgb);
    }
    ui->Image1->setPixmap(QPixmap::fromImage(image));
}

void TAppForm::StylePanel5() {
    ui->Panel5->setFrameShape(QFrame::Box);
    ui->Panel5->setFrameShadow(QFrame::Plain);
    ui->Panel5->setLineWidth(1);
    QPalette white = ui->Panel5->palette();
    white.setColor(QPalette::Window, Qt::white);
    ui->Panel5->setPalette(white);
    ui->Panel5->setAutoFillBackground(true);
    ui->Image1->setGeometry(ui->Panel5->contentsRect());
    ui->Image2->setGeometry(ui->Image1->x(), ui->Image1->y(), 0, ui->Image1->height());
}

void TAppForm::SonucRenkHesapla(double HizDegeri) {
    // Positions are those of the panel's client area, inside its border.
    const int origin = ui->Image1->x();
    const int covered = CoveredPercent(HizDegeri);
    if (covered == 0) {
        ui->Image2->setGeometry(ui->Image2->x(), ui->Image2->y(), 0, ui->Image2->height());
    } else {
        const CoverGeometry cover = CoverFor(covered, ui->Panel5->width(), ui->Image1->width());
        ui->Image2->setGeometry(origin + cover.left, ui->Image1->y(), cover.width,
                                ui->Image1->height());
    }
    const std::string_view word = RatingWord(HizDegeri);
    SetValue(ui->LabelPercent, QString::fromLatin1(word.data(), qsizetype(word.size())));
    if (ui->Panel5->isHidden()) {
        ui->Panel5->show();
        LayOutTestArea();
        const int top = (ui->Image1->height() - ui->LabelPercent->height()) / 2;
        const int left = (ui->Image1->width() - ui->LabelPercent->width()) / 2;
        ui->LabelPercent->move(origin + left, ui->Image1->y() + top);
        ui->LabelPercent->raise();
    }
}

// --- Processor facts

int TAppForm::ScaleDimension(int X) const {
    return app::ScaleDimension(X, logicalDpiX(), kFormDpi);
}

void TAppForm::ShrinkToMaximumFontSize(QLabel* MyLabel, int MaximumWidth, int minPoints) {
    if (MyLabel->width() <= MaximumWidth)
        return; // fits: left alone
    const QFont original = MyLabel->font();
    int start = original.pointSize();
    if (start <= 0) // sized in pixels: the same size in points
        start = qRound(original.pixelSize() * 72.0 / logicalDpiY());
    // The label measures itself at each size, as it does when it sizes itself.
    auto widthAt = [&](int points) {
        QFont font = original;
        font.setPointSize(points);
        MyLabel->setFont(font);
        return MyLabel->sizeHint().width();
    };
    const int points = ShrinkToFit(start, MaximumWidth, widthAt, minPoints);
    QFont font = original;
    font.setPointSize(points);
    MyLabel->setFont(font);
    MyLabel->adjustSize();
}

void TAppForm::GetCPUInfo() {
    const sysinfo::CpuInfo info = sysinfo::GetCPUInfo(*env_.registry);
    const QString name = FromStd(info.name);
    SetValue(ui->Label9, name);
    SetValue(ui->Label19, FromStd(info.baseSpeed));
    // The name stays inside the fixed window: a smaller font first, down to a
    // size still easy to read, then the middle left out, the whole name in the
    // tooltip.
    const int room = std::min(ScaleDimension(400), kClientWidth - ui->Label9->x() - kMargin);
    ShrinkToMaximumFontSize(ui->Label9, room, kMinimumNamePoints);
    if (ui->Label9->width() <= room)
        return;
    const QFontMetrics metrics(ui->Label9->font());
    const int padding = ui->Label9->width() - metrics.horizontalAdvance(name);
    for (int width = room - padding; width > 0 && ui->Label9->width() > room; width -= 4)
        SetValue(ui->Label9, metrics.elidedText(name, Qt::ElideMiddle, width));
    ui->Label9->setToolTip(name);
}

void TAppForm::ShowSystemCPUArchitecture() {
    const sysinfo::ArchitectureInfo info = sysinfo::ShowSystemCPUArchitecture(*env_.systemInfo);
    SetValue(ui->Label2, FromStd(info.architecture));
    SetValue(ui->Label17, FromStd(info.threads));
}

void TAppForm::KacMhzOlc() {
    if (!sampler_)
        return;
    sampler_->Sample();
    if (!sampler_->timerEnabled()) {
        TimerMhz->stop(); // for good: the row stays as it was
        return;
    }
    SetValue(ui->Label20, FromStd(sampler_->valueText()));
    if (ui->Label20->isHidden()) {
        ui->Label20->show();
        ui->Label21->show();
    }
}

void TAppForm::TimerMhzTimer() {
    KacMhzOlc();
}

// --- Result sharing

// A new export window each time, filled from the labels as they read now.
void TAppForm::ButtonShareClick() {
    // Owned by this window: no taskbar entry of its own, and gone with it.
    auto* form = new share::TFormShare(this);
    newestShare_ = form;
    const auto now = env_.wallClock ? env_.wallClock() : std::chrono::system_clock::now();
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count());
    share::ReportSource source;
    source.appTitle = FromStd(identity_.AppTitle);
    source.appVersion = FromStd(identity_.AppVersion);
    // Whole, also when its label shows it shortened.
    source.cpuName = ui->Label9->toolTip().isEmpty() ? ui->Label9->text() : ui->Label9->toolTip();
    source.architecture = ui->Label2->text();
    source.threads = ui->Label17->text();
    source.baseSpeed = ui->Label19->text();
    source.currentSpeed = ui->Label20->text(); // read even while the row is hidden
    source.elapsed = ui->Label6->text();
    source.singleCore = ui->Label7->text();
    source.multiCore = ui->Label11->text();
    for (const QString& line : share::ReportLines(source, share::ReportDateTime(when, QLocale())))
        form->AddLine(line);
    form->SetSuggestedFile(share::SuggestedFilePath(FromStd(env_.documentsFolder),
                                                    FromStd(identity_.AppProductName), when));
    form->show();
}

void TAppForm::ButtonTwitterClick() {
    const std::string page = share::ProductPageAddress(env_.serverHost, identity_.AppProductName);
    const std::string sentence =
        share::ShareSentence(ui->Label7->isEnabled(), ui->Label7->text().toStdString(),
                             ui->Label11->text().toStdString());
    if (env_.opener)
        env_.opener->OpenUrl(share::XShareAddress(env_.xHost, page, sentence));
}

void TAppForm::ButtonFacebookClick() {
    const std::string page = share::ProductPageAddress(env_.serverHost, identity_.AppProductName);
    if (env_.opener)
        env_.opener->OpenUrl(share::FacebookShareAddress(env_.facebookHost, page));
}

// --- Shell commands

void TAppForm::Exit1Click() {
    close();
    QCoreApplication::quit();
}

void TAppForm::Help2Click() {
    if (env_.opener)
        env_.opener->OpenUrl(HelpAddress(env_.serverHost, identity_.AppProductName));
}

void TAppForm::RunasAdministrator1Click() {
    using i18n::TranslateText;
    const int answer = i18n::TranslatedMessageDlg(
        TranslateText(QStringLiteral("Restart Application with Administrator Privileges?")),
        i18n::MsgDlgType::Confirmation, i18n::MsgDlgBtn::Yes | i18n::MsgDlgBtn::No,
        {TranslateText(QStringLiteral("Yes")), TranslateText(QStringLiteral("No"))},
        TranslateText(QStringLiteral("Confirmation")));
    if (answer != i18n::mrYes || elevatedStart_)
        return;
    // This copy ends only once the new one runs: a refusal, or a system that
    // cannot ask, keeps the window and its results, and says why.
    elevatedStart_ = env_.elevation->StartElevated(env_.executablePath);
    elevationAsked_ = ElevationClock();
    ui->RunasAdministrator1->setEnabled(false);
    elevationWatch_->start();
    WatchElevatedStart();
}

// The question goes with the window; nothing waits for the asker to end.
void TAppForm::WithdrawElevatedStart() {
    if (!elevatedStart_)
        return;
    elevationWatch_->stop();
    elevatedStart_->Abandon();
    elevatedStart_.reset();
}

std::chrono::nanoseconds TAppForm::ElevationClock() const {
    if (env_.testing.elevationClock)
        return env_.testing.elevationClock();
    return std::chrono::steady_clock::now().time_since_epoch();
}

void TAppForm::WatchElevatedStart() {
    using i18n::TranslateText;
    using platform::ElevatedStartState;
    if (!elevatedStart_)
        return;
    ElevatedStartState state = elevatedStart_->Poll();
    const bool timedOut =
        state == ElevatedStartState::Pending &&
        ElevationClock() - elevationAsked_ >= std::chrono::milliseconds(kElevationWaitMs);
    if (timedOut) {
        elevatedStart_->Abandon();
        state = elevatedStart_->Poll();
    }
    if (state == ElevatedStartState::Pending)
        return;
    elevationWatch_->stop();
    const int detail = elevatedStart_->detail();
    elevatedStart_.reset();
    ui->RunasAdministrator1->setEnabled(true);
    if (state == ElevatedStartState::Started) {
        Exit1Click();
        return;
    }
    QString reason;
    if (timedOut)
        reason = TranslateText(QStringLiteral("No answer came within %1 minutes."))
                     .arg(kElevationWaitMs / 60'000);
    else if (state == ElevatedStartState::NoTool)
        reason = TranslateText(QStringLiteral(
            "The program that asks for the administrator's password was not found."));
    else if (state == ElevatedStartState::Dismissed)
        reason = TranslateText(QStringLiteral("The request was dismissed."));
    else if (state == ElevatedStartState::NotGranted)
        reason = TranslateText(QStringLiteral("Administrator privileges were not granted."));
    else
        reason = TranslateText(QStringLiteral("The restarted program ended at once (status %1)."))
                     .arg(detail);
    i18n::TranslatedMessageDlg(
        TranslateText(QStringLiteral("The application could not be restarted with administrator "
                                     "privileges.")) +
            QStringLiteral("\n\n") + reason,
        i18n::MsgDlgType::Error, i18n::MsgDlgBtn::OK, {TranslateText(QStringLiteral("OK"))},
        TranslateText(QStringLiteral("Failure")));
}

// --- About window and language window

void TAppForm::About1Click() {
    about::AboutBoxEnvironment about;
    about.AppProductName = identity_.AppProductName;
    about.AppVersion = identity_.AppVersion;
    about.serverHost = env_.serverHost;
    about.programFolder = env_.programFolder;
    about.opener = env_.opener;
    about.textViewer = env_.textViewer;
    auto* box = new about::TAboutBox(std::move(about), this); // frees itself on closing
    box->exec();
}

void TAppForm::Language1Click() {
    i18n::TranslateFormEnvironment chooser;
    chooser.serverHost = env_.serverHost;
    chooser.DataFolder = DataFolder_;
    chooser.executablePath = env_.executablePath;
    chooser.opener = env_.opener;
    chooser.restarter = env_.restarter;
    chooser.SetLanguageFile = [this](const QString& file, QString& why) {
        return SetLanguageFile(file, &why);
    };
    chooser.endApplication = [this] { Exit1Click(); };
    i18n::TTranslateForm form(std::move(chooser), this);
    form.exec();
}

// The language file chosen last time; empty when none was.
QString TAppForm::StoredLanguageFile() const {
    return settings::SettingsStore::Open(FromStd(env_.testing.settingsFile))
        ->ReadString(QStringLiteral("Language"), QString());
}

// Kept in the user's settings, where start-up looks for it.
bool TAppForm::SetLanguageFile(const QString& Filename, QString* why) {
    const auto store = settings::SettingsStore::Open(FromStd(env_.testing.settingsFile));
    if (store->WriteString(QStringLiteral("Language"), Filename))
        return true;
    if (why)
        *why = store->reason().isEmpty() ? QStringLiteral("The settings cannot be written.")
                                         : store->reason();
    return false;
}

// --- Online services: the update check, its notice and the feedback window

void TAppForm::TimerCheckerTimer() {
    if (!updateCheck_->started()) {
        updateCheck_->Start(FromStd(identity_.AppTitle), FromStd(identity_.AppVersion));
        return;
    }
    if (!updateCheck_->Finished())
        return;
    TimerChecker->stop();
    ui->UpdateNotifications1->setEnabled(true);
    if (!updateCheck_->NotificationsOn())
        ui->UpdateNotifications1->setChecked(false);
    if (const auto notice = updateCheck_->TakeNotice(); notice && !notice_) {
        notice_ = new online::TNewVer(this,
                                      {FromStd(identity_.AppProductName), notice->LatestVersion,
                                       notice->DownloadURL, FromStd(env_.serverHost)},
                                      env_.opener);
        notice_->setObjectName(QStringLiteral("NewVer"));
    }
}

void TAppForm::UpdateNotifications1Click() {
    using i18n::TranslateText;
    const bool on = !ui->UpdateNotifications1->isChecked();
    QString why;
    if (!updateCheck_->SetNotifications(on, &why) && !why.isEmpty()) {
        // The switch keeps showing what the next start will do.
        i18n::TranslatedMessageDlg(
            QStringLiteral("The choice cannot be kept for the next start.\n\n") + why,
            i18n::MsgDlgType::Error, i18n::MsgDlgBtn::OK, {TranslateText(QStringLiteral("OK"))},
            TranslateText(QStringLiteral("Failure")));
        return;
    }
    ui->UpdateNotifications1->setChecked(on);
}

void TAppForm::SendFeedback1Click() {
    auto* form = new online::TFeedbackForm(
        {FromStd(identity_.AppProductName), FromStd(identity_.AppTitle),
         FromStd(identity_.AppVersion), env_.online.Server(FromStd(env_.serverHost))},
        this);
    form->exec(); // it frees itself when it closes
}

} // namespace zentaro::app
