#pragma once

#include "base/MainQueue.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <queue>
#include <vector>

namespace ambleguard::posix {

// The program's real main queue: run() executes posted work and timers on the calling thread
// until quit() is called. Work may be posted from any thread. Delays are measured on the
// monotonic clock, so a change of the wall clock does not stretch or skip them.
class EventLoop final : public MainQueue {
  public:
    void post(Task task) override;
    TimerHandle postAfter(double seconds, Task task) override;
    TimerHandle scheduleRepeating(double interval, double tolerance, Task task) override;

    void run();
    void quit();

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

    std::mutex mutex_;
    std::condition_variable wake_;
    std::priority_queue<Scheduled, std::vector<Scheduled>, std::greater<>> queue_;
    std::uint64_t nextSequence_ = 0;
    bool quit_ = false;
};

}  // namespace ambleguard::posix
