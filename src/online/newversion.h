#pragma once

#include "platform/opener.h"

#include <QString>
#include <QWidget>
#include <memory>

class QTimer;
class QVariantAnimation;

namespace Ui {
class TNewVer;
}

namespace zentaro::i18n {
class WindowDragger;
}

namespace zentaro::online {

// The notice of a new version: a small frameless window in the top right corner
// of the screen, above the others, that hands the keyboard back to the main
// window. Its link opens the download address; it closes itself after 11
// seconds. Made at most once per program run; closing only hides it.
class TNewVer : public QWidget {
    Q_OBJECT

public:
    struct Inputs {
        QString AppProductName;
        QString LatestVersion;
        QString DownloadURL;
        QString ServerHost;
    };

    // mainWindow: gets the keyboard focus back and owns the notice.
    TNewVer(QWidget* mainWindow, Inputs inputs, std::shared_ptr<platform::Opener> opener);
    ~TNewVer() override;

    // Ticks left before the notice closes itself; 11 at the start.
    int CloseCountdown() const { return CloseCountdown_; }
    bool dragging() const;

    // Handlers, public so that every one can also be driven directly.
    void TimerStartTimer();
    void TimerCloseTimer();
    void TimerLinkTimer();
    void Label2Click();
    void Button1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    // Reveals the window from its centre (opening) or hides it into the centre.
    void Animate(bool opening);

    std::unique_ptr<Ui::TNewVer> ui;
    Inputs inputs_;
    std::shared_ptr<platform::Opener> opener_;
    QWidget* mainWindow_;

    QTimer* TimerStart = nullptr;
    QTimer* TimerClose = nullptr;
    QTimer* TimerLink = nullptr;
    QVariantAnimation* animation_ = nullptr;
    i18n::WindowDragger* dragger_ = nullptr;

    int CloseCountdown_ = 11;
    bool linkPressed_ = false;
    bool opening_ = true;
};

} // namespace zentaro::online
