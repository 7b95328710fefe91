#pragma once

#include "about/versioninfo.h"
#include "app/appenvironment.h"
#include "engine/run.h"
#include "sysinfo/clocksampler.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <chrono>
#include <memory>
#include <optional>

class QActionGroup;
class QLabel;
class QProgressBar;
class QTimer;

namespace Ui {
class TAppForm;
}

namespace zentaro::online {
class TNewVer;
class UpdateCheck;
} // namespace zentaro::online

namespace zentaro::app {

class QueuedPoster;

// The main window: processor facts at the top, the test and its results in the
// middle, the rating bar at the bottom. It lives for the whole program.
//
// The controls keep the form designer's names; handlers are named after control and event.
//   Panel2                  the top area, the processor facts; captions Label8, Label1, Label16,
//                           Label18, Label21 ("CPU Name:" ... "Current Speed:")
//   Label9                  processor name, shrunk to fit 400 px at 96 DPI
//   Label2                  architecture word
//   Label17                 number of logical processors
//   Label19                 base speed ("3600 MHz" or "Unknown")
//   Label20 / Label21       current speed / its caption; hidden until the first sample
//   GroupBox1               the "TEST" group, between the top area and the rating bar; captions
//                           Label3, Label4, Label5, Label10
//   SpinEdit1               test length, 1 to 99,999
//   Button1 / Button2       "Test Single-Core" / "Test Multi-Core"
//   Label6                  elapsed time of the last run; greyed "Not tested" before the first
//   Label7                  single-core speed; enabled means a single-core result exists
//   Label11                 multi-core speed, the same way
//   ButtonShare             the export window       } hidden until the first
//   ButtonTwitter           the X share page        } completed run
//   ButtonFacebook          the Facebook share page }
//   Panel5                  the rating bar along the bottom edge, hidden until the first rating
//   Image1                  the red-to-green gradient, stretched over the bar
//   Image2                  the grey cover over the gradient's right-hand part: slower, wider
//   LabelPercent            the rating word ("Very Bad" to "Excellent"), not a percentage
//   RunProgress             the progress line of a long run (made in code)
//   MainMenu1               the menu bar
//   File1                   RunasAdministrator1 (restart elevated; hidden with its separator N1
//                           when already elevated), N1, Exit1
//   Settings1 > estType1    "Test Type" (the name lacks its T): Default1, IntegerArithmetic1,
//                           FloatingPointArithmetic1, rigonometric1 (Trigonometric),
//                           BranchPredictionandControl1, BitwiseLogic1
//   Help1                   Help2 ("Online Help", F1), N3 (separator), UpdateNotifications1 (the
//                           update switch, disabled until the check has finished),
//                           UpdateNotificationsBar (separator), Language1 (language window),
//                           SendFeedback1 (feedback window), About1 (About window)
//   TimerMhz                every second: samples the current speed until a sample fails
//   TimerChecker            every second: starts the update check on its first tick, then asks
//                           whether it is done; once done, enables UpdateNotifications1, shows
//                           the notice if one is due, and stops
// Turkish method names: SonucRenkHesapla(HizDegeri) "work out the result's colour" (rates a speed
// value: cover and word), KacMhzOlc "measure how many MHz" (one current-speed sample),
// HighDPIGradientYukle "load the high-DPI gradient" (draws it once at the screen's resolution).
class TAppForm : public QMainWindow {
    Q_OBJECT

public:
    explicit TAppForm(AppEnvironment environment, QWidget* parent = nullptr);
    ~TAppForm() override;

    // Set once while the window is created; empty when that step failed.
    const AppIdentity& identity() const { return identity_; }
    const std::string& dataFolder() const { return DataFolder_; }
    // The run in progress or the last one; null before the first.
    const std::shared_ptr<RunHandle>& runHandle() const { return run_; }
    bool running() const { return running_; }

    // Handlers, public so that every command can also be driven directly.
    void Button1Click();
    void Button2Click();
    void Exit1Click();
    void Help2Click();
    void RunasAdministrator1Click();
    void Default1Click();
    void IntegerArithmetic1Click();
    void FloatingPointArithmetic1Click();
    void rigonometric1Click();
    void BranchPredictionandControl1Click();
    void BitwiseLogic1Click();
    void UpdateNotifications1Click();
    void SendFeedback1Click();

    // Result sharing: the export window and the two share pages.
    void ButtonShareClick();
    void ButtonTwitterClick();
    void ButtonFacebookClick();
    // The newest export window while it is open.
    QWidget* newestExport() const { return newestShare_; }

    void About1Click();
    void Language1Click();
    // Keeps the language file chosen in the language window for the next start.
    // False, with the reason in why, when the settings cannot keep it.
    bool SetLanguageFile(const QString& Filename, QString* why = nullptr);

    // The two 1-second timers' handlers, public so that tests can step them.
    void TimerMhzTimer();
    void TimerCheckerTimer();

    void SonucRenkHesapla(double HizDegeri);
    int ScaleDimension(int X) const;
    // minPoints: the smallest size it goes down to (1 unless said).
    void ShrinkToMaximumFontSize(QLabel* MyLabel, int MaximumWidth, int minPoints = 1);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    void HighDPIGradientYukle();
    void StylePanel5();
    void GetCPUInfo();
    void ShowSystemCPUArchitecture();
    void KacMhzOlc();

    void SetTestType(QAction* item);
    void StartRun(bool multiCore);
    void ShowOutcome(const RunOutcome& outcome);
    void StopRun();
    void ShowProgress();
    void LayOutTestArea();
    void SetValue(QLabel* label, const QString& text);
    void WatchElevatedStart();
    void WithdrawElevatedStart();
    std::chrono::nanoseconds ElevationClock() const;

    std::unique_ptr<Ui::TAppForm> ui;
    AppEnvironment env_;
    AppIdentity identity_;
    std::string DataFolder_;
    unsigned workers_ = 1;
    std::optional<sysinfo::ClockSampler> sampler_;

    QTimer* TimerMhz = nullptr;
    QTimer* TimerChecker = nullptr;
    QAction* N1 = nullptr;
    QAction* N3 = nullptr;
    QAction* UpdateNotificationsBar = nullptr;
    QActionGroup* testTypes_ = nullptr;

    std::shared_ptr<QueuedPoster> poster_;
    std::shared_ptr<RunHandle> run_;
    bool running_ = false;
    // The run button that had the focus when the run began, and where
    // disabling it sent the focus.
    QPointer<QWidget> runFocus_;
    QPointer<QWidget> focusDuringRun_;
    QTimer* progressTimer_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QElapsedTimer runTime_;
    bool labelPlaced_ = false;
    QPointer<QWidget> newestShare_;

    QString StoredLanguageFile() const;
    // The one update check of this run and its notice.
    std::unique_ptr<online::UpdateCheck> updateCheck_;
    online::TNewVer* notice_ = nullptr;

    // A restart with administrator rights that the system is still asking
    // about; this copy ends only once the new one runs.
    std::unique_ptr<platform::ElevatedStart> elevatedStart_;
    QTimer* elevationWatch_ = nullptr;
    std::chrono::nanoseconds elevationAsked_{}; // on the elevation clock
};

} // namespace zentaro::app
