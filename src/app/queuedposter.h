#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <mutex>

namespace zentaro::app {

// Hands calls from worker threads to a window's thread as queued calls with
// the window as context. The window detaches it before it goes away, so a
// call posted later goes nowhere, and one posted just before is dropped with
// the window's pending events.
class QueuedPoster {
public:
    explicit QueuedPoster(QObject* context) : context_(context) {}

    void post(std::function<void()> call) {
        std::lock_guard lock(mutex_);
        if (context_)
            QMetaObject::invokeMethod(context_, std::move(call), Qt::QueuedConnection);
    }

    void detach() {
        std::lock_guard lock(mutex_);
        context_ = nullptr;
    }

    // A function for the engine's PostToCaller that keeps the poster alive.
    static std::function<void(std::function<void()>)>
    PosterFor(const std::shared_ptr<QueuedPoster>& poster) {
        return [poster](std::function<void()> call) { poster->post(std::move(call)); };
    }

private:
    std::mutex mutex_;
    QObject* context_;
};

} // namespace zentaro::app
