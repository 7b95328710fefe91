#pragma once

#include "about/matrixrain.h"
#include "platform/opener.h"
#include "platform/textviewer.h"

#include <QDialog>
#include <QFont>
#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QAbstractButton;
class QMenu;
class QTimer;

namespace Ui {
class TAboutBox;
}

namespace zentaro::about {

// Milliseconds as a 32-bit count that wraps, like the system's tick count.
using TickCount = std::function<std::uint32_t()>;

// What the About window needs from around it.
struct AboutBoxEnvironment {
    std::string AppProductName;
    std::string AppVersion;
    std::string serverHost;
    // The folder of the running executable; "license.txt" lies beside it or in
    // the shared data folder of an installation (platform::ShippedPath).
    std::string programFolder;
    std::shared_ptr<platform::Opener> opener;
    // Shows "license.txt" (Notepad on Windows, the desktop's viewer elsewhere).
    std::shared_ptr<platform::TextViewer> textViewer;
    // The menu's re-open guard reads it; the steady clock when empty.
    TickCount tickCount;
    // The rain's random numbers; seeded from the system when empty.
    MatrixRain::RandomBelow random;
};

// Opens menu at the lower left corner of button and returns when it has closed.
// A click on the button that closed the menu (one within 100 ms of its closing)
// does not open it again: the press that closes a popup menu reaches the button
// beneath it too.
void ShowMenuBelowButton(QAbstractButton* button, QMenu* menu, const TickCount& tickCount);

// The About window: product and version over a rain of green characters, links to
// the maker's pages and the licence, and a picture behind the panel.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(AboutBoxEnvironment environment, QWidget* parent = nullptr);
    ~TAboutBox() override;

    const MatrixRain& rain() const { return rain_; }
    // The drawing surface of the rain, the size of the window.
    const QImage& outCanvas() const { return outCanvas_; }

    // Handlers, public so that tests can step the timers and drive the commands.
    void tmTimerTimer();
    void TimerEggTimer();
    void Image1DblClick();
    void ImageEggDblClick();
    void BitBtn1Click();
    void BitBtn2Click();
    void Label5Click();
    void Credits1Click();
    void Howtouninstall1Click();
    void LicensePrivacyPolicy1Click();
    void HighDPIImageYukle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormAfterMonitorDpiChanged();
    void StartMatrix();
    void InitMatrix();
    void DrawChanges();
    void OpenUrl(const std::string& url);

    std::unique_ptr<Ui::TAboutBox> ui;
    AboutBoxEnvironment env_;
    MatrixRain rain_;
    QImage outCanvas_;
    QFont rainFont_; // the rain's characters, made once
    QTimer* tmTimer = nullptr;
    QTimer* TimerEgg = nullptr;
    QMenu* PopupMenu1 = nullptr;
    bool screenWatched_ = false;
};

} // namespace zentaro::about
