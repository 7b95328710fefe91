#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace zentaro {

// A queue of calls to run on one thread, for callers without an event loop
// (the command line, tests). Workers post; the owning thread runs them.
class CallQueue : public std::enable_shared_from_this<CallQueue> {
public:
    static std::shared_ptr<CallQueue> Create() { return std::shared_ptr<CallQueue>(new CallQueue); }

    void post(std::function<void()> call) {
        {
            std::lock_guard lock(mutex_);
            calls_.push_back(std::move(call));
        }
        ready_.notify_one();
    }

    // A poster that keeps the queue alive for as long as a worker holds it.
    std::function<void(std::function<void()>)> poster() {
        auto self = shared_from_this();
        return [self](std::function<void()> call) { self->post(std::move(call)); };
    }

    // Runs one queued call, waiting up to `timeout` for it. False if none came.
    bool runOne(std::chrono::milliseconds timeout) {
        std::function<void()> call;
        {
            std::unique_lock lock(mutex_);
            if (!ready_.wait_for(lock, timeout, [this] { return !calls_.empty(); }))
                return false;
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        call();
        return true;
    }

private:
    CallQueue() = default;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> calls_;
};

} // namespace zentaro
