#include "support/oddfiles.h"

#include <QFile>
#include <QtGlobal>
#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

namespace zentaro::testing {

bool MakeSparseFile(const QString& path, qint64 size, const QByteArray& head) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (file.write(head) != head.size())
        return false;
    return file.resize(size); // extending leaves a hole
}

bool FinishesInTime(const std::function<void()>& work, const QStringList& fifos,
                    std::chrono::milliseconds deadline) {
    std::packaged_task<void()> task(work);
    std::future<void> done = task.get_future();
    std::thread runner(std::move(task));
    bool inTime = done.wait_for(deadline) == std::future_status::ready;
    if (!inTime) {
        // Keep releasing: the reader may open the FIFO more than once.
        const auto giveUp = std::chrono::steady_clock::now() + deadline;
        while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
            if (std::chrono::steady_clock::now() > giveUp)
                qFatal("a reader is still stuck after its files were released");
            ReleaseFifos(fifos);
        }
    }
    runner.join();
    done.get(); // passes on what work threw
    return inTime;
}

struct FifoWatchdog::State {
    std::mutex mutex;
    std::condition_variable stop;
    bool stopping = false;
    std::atomic<bool> fired{false};
};

FifoWatchdog::FifoWatchdog(QStringList fifos, std::chrono::milliseconds deadline)
    : state_(std::make_shared<State>()) {
    thread_ = std::thread([state = state_, fifos, deadline] {
        std::unique_lock lock(state->mutex);
        if (state->stop.wait_for(lock, deadline, [&] { return state->stopping; }))
            return;
        state->fired = true;
        while (!state->stopping) {
            lock.unlock();
            ReleaseFifos(fifos);
            DrainFifos(fifos);
            lock.lock();
            state->stop.wait_for(lock, std::chrono::milliseconds(50),
                                 [&] { return state->stopping; });
        }
    });
}

FifoWatchdog::~FifoWatchdog() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->stop.notify_all();
    thread_.join();
}

bool FifoWatchdog::fired() const {
    return state_->fired;
}

} // namespace zentaro::testing
