#pragma once

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <functional>

namespace zentaro::testing {

// Drives the next modal dialog of type Dialog once it is on screen. The dialog's
// exec() blocks the test, so the driving happens from the event loop. If no such
// dialog comes within the deadline (or the drive leaves it open), every modal
// window is closed so that exec() returns, and expired() tells the test, which
// then fails within seconds instead of hanging until the suite's time-out.
//
//     ModalDriver<QMessageBox> driver([](QMessageBox* box) { box->accept(); });
//     CodeThatShowsTheBox();
//     QVERIFY2(driver.ok(), driver.failure());
class ModalDriverBase {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kDefaultDeadline{10000};

    bool driven() const { return driven_; }
    bool expired() const { return expired_; }
    // Driven, and closed before the deadline.
    bool ok() const { return driven_ && !expired_; }
    // Why the drive failed, for QVERIFY2.
    const char* failure() const;

protected:
    ModalDriverBase(std::function<bool(QWidget*)> tryDrive, std::chrono::milliseconds deadline);
    ~ModalDriverBase();

private:
    void Poll();
    static void CloseEveryModal();

    std::function<bool(QWidget*)> tryDrive_;
    QTimer poll_;
    Clock::time_point deadline_;
    bool driven_ = false;
    bool expired_ = false;
};

template <class Dialog> class ModalDriver : public ModalDriverBase {
public:
    explicit ModalDriver(std::function<void(Dialog*)> drive,
                         std::chrono::milliseconds deadline = kDefaultDeadline)
        : ModalDriverBase(
              [drive = std::move(drive)](QWidget* modal) {
                  auto* dialog = qobject_cast<Dialog*>(modal);
                  if (!dialog)
                      return false;
                  drive(dialog);
                  return true;
              },
              deadline) {}
};

} // namespace zentaro::testing
