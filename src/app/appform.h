#pragma once

#include "about/versioninfo.h"
#include "app/appenvironment.h"
#include "engine/run.h"
#include "sysinfo/clocksampler.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
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
    void SetLanguageFile(const QString& Filename);

    // The two 1-second timers' handlers, public so that tests can step them.
    void TimerMhzTimer();
    void TimerCheckerTimer();

    void SonucRenkHesapla(double HizDegeri);
    int ScaleDimension(int X) const;
    void ShrinkToMaximumFontSize(QLabel* MyLabel, int MaximumWidth);

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
    void ShowDefaultError(const QString& message);
    void SetValue(QLabel* label, const QString& text);

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
    QTimer* progressTimer_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QElapsedTimer runTime_;
    bool labelPlaced_ = false;
    QPointer<QWidget> newestShare_;

    QString StoredLanguageFile() const;
    // The one update check of this run and its notice.
    std::unique_ptr<online::UpdateCheck> updateCheck_;
    online::TNewVer* notice_ = nullptr;
};

} // namespace zentaro::app
