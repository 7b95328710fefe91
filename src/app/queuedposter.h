#pragma once

#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace zentaro::app {

// Hands calls from worker threads to a window's thread. The window detaches it
// before it goes away, so a call posted later goes nowhere, and one posted just
// before is dropped with it.
//
// The calls pass through a queue under our own lock, which orders everything a
// worker put into a call before the window's thread runs and frees it; Qt is
// only asked, by name, to start a timer of the window's, so that no object of
// ours is made on one thread and freed by Qt's reference counting on another.
class QueuedPoster {
public:
    // On the window's thread.
    explicit QueuedPoster(QObject* context) : state_(std::make_shared<State>()) {
        auto* wake = new QTimer(context);
        wake->setSingleShot(true);
        wake->setInterval(0);
        QObject::connect(wake, &QTimer::timeout, wake, [state = state_] { state->RunPending(); });
        state_->wake = wake;
    }

    void post(std::function<void()> call) {
        std::lock_guard lock(state_->mutex);
        if (!state_->wake)
            return;
        state_->calls.push_back(std::move(call));
        QMetaObject::invokeMethod(state_->wake, "start", Qt::QueuedConnection);
    }

    // On the window's thread: calls still waiting are dropped here.
    void detach() {
        std::deque<std::function<void()>> dropped;
        std::lock_guard lock(state_->mutex);
        state_->wake = nullptr;
        dropped.swap(state_->calls);
    }

    // A function for the engine's PostToCaller that keeps the poster alive.
    static std::function<void(std::function<void()>)>
    PosterFor(const std::shared_ptr<QueuedPoster>& poster) {
        return [poster](std::function<void()> call) { poster->post(std::move(call)); };
    }

private:
    struct State {
        std::mutex mutex;
        QTimer* wake = nullptr; // the window's; null once detached
        std::deque<std::function<void()>> calls;

        // On the window's thread: runs, then frees, every call posted so far.
        void RunPending() {
            std::deque<std::function<void()>> due;
            {
                std::lock_guard lock(mutex);
                due.swap(calls);
            }
            for (auto& call : due)
                call();
        }
    };
    std::shared_ptr<State> state_;
};

} // namespace zentaro::app
