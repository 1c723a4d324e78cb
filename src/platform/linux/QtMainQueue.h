#pragma once

#include "base/MainQueue.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <queue>
#include <vector>

namespace ambleguard::linuxdesktop {

// The program's main queue on Qt's event loop, for the thread that creates it (the GUI thread).
// Every task, posted or delayed, goes into one heap ordered by (monotonic deadline, sequence),
// so work due at the same instant runs in the order it was scheduled whatever the mix of post
// and postAfter. One precise single-shot QTimer is armed for the earliest deadline; Qt timers
// may fire a little early, so the deadline is checked again and the timer re-armed. Work may be
// scheduled from any thread. Tasks still queued when the queue is destroyed never run.
class QtMainQueue final : public MainQueue {
  public:
    QtMainQueue();
    QtMainQueue(const QtMainQueue&) = delete;
    QtMainQueue& operator=(const QtMainQueue&) = delete;
    ~QtMainQueue() override;

    void post(Task task) override;
    TimerHandle postAfter(double seconds, Task task) override;
    TimerHandle scheduleRepeating(double interval, double tolerance, Task task) override;

  private:
    using SteadyTime = std::chrono::steady_clock::time_point;
    struct Entry {
        Task task;
        std::shared_ptr<std::atomic<bool>> cancelled;
        std::chrono::microseconds interval{0};
    };
    struct Scheduled {
        SteadyTime due;
        std::uint64_t sequence;
        std::shared_ptr<Entry> entry;
        bool operator>(const Scheduled& other) const {
            return due != other.due ? due > other.due : sequence > other.sequence;
        }
    };

    TimerHandle schedule(SteadyTime due, std::shared_ptr<Entry> entry);
    void runDue();
    void rearm();

    QObject context_;
    QTimer timer_;
    std::mutex mutex_;
    std::priority_queue<Scheduled, std::vector<Scheduled>, std::greater<>> queue_;
    std::uint64_t nextSequence_ = 0;
    // A re-arm request from another thread is already on its way.
    bool wakePending_ = false;
};

}  // namespace ambleguard::linuxdesktop
