#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

// Hands the next modal dialog of type Dialog to drive once it is on screen; the
// dialog's exec() blocks the test, so the driving happens from the event loop.
template <class Dialog> class ModalDriver {
public:
    explicit ModalDriver(std::function<void(Dialog*)> drive) : drive_(std::move(drive)) {
        poll_.setInterval(5);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (driven_ || !dialog || !dialog->isVisible())
                return;
            driven_ = true;
            poll_.stop();
            drive_(dialog);
        });
        poll_.start();
    }

    bool driven() const { return driven_; }

private:
    std::function<void(Dialog*)> drive_;
    QTimer poll_;
    bool driven_ = false;
};
