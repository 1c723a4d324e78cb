#pragma once

#include "base/MainQueue.h"
#include "base/Sequence.h"
#include "platform/sim/SimClock.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <queue>
#include <vector>

namespace ambleguard::sim {

// The main queue in virtual time. Nothing runs until the test or scenario advances time; then
// every task due on the way runs in order of its due instant, and tasks due at the same instant
// run in the order they were scheduled.
class SimMainLoop final : public MainQueue {
  public:
    explicit SimMainLoop(SimClock& clock) : clock_(clock) {}

    void post(Task task) override;
    TimerHandle postAfter(double seconds, Task task) override;
    TimerHandle scheduleRepeating(double interval, double tolerance, Task task) override;

    // Runs everything due at the current time, including work those tasks post for now.
    void runDue();
    // Moves the clock to `to` (never backwards), running everything due up to and at `to`.
    void advanceTo(Instant to);
    void advanceBy(double seconds);
    // Runs the earliest pending task, moving the clock to its due time. False when none is left.
    bool runNext();

    std::optional<Instant> nextDue();
    std::size_t pendingCount();

  private:
    struct Entry {
        Task task;
        std::shared_ptr<std::atomic<bool>> cancelled;
        double interval = 0;  // > 0 for repeating timers
    };
    struct Scheduled {
        Instant due;
        std::uint64_t sequence;
        std::shared_ptr<Entry> entry;
        bool operator>(const Scheduled& other) const {
            return due != other.due ? due > other.due : sequence > other.sequence;
        }
    };

    TimerHandle schedule(Instant due, std::shared_ptr<Entry> entry);
    void dropCancelled();
    void runFront();

    SimClock& clock_;
    std::priority_queue<Scheduled, std::vector<Scheduled>, std::greater<>> queue_;
    std::uint64_t nextSequence_ = 0;
};

// A dispatch queue of the simulated platform (the Bluetooth queue, the peripheral queue, a
// worker): its work runs on the one virtual main loop, so everything stays deterministic while
// hops between queues remain asynchronous.
class SimExecutor final : public SerialExecutor {
  public:
    explicit SimExecutor(SimMainLoop& loop) : loop_(loop) {}
    void post(Task task) override {
        loop_.post([this, task = std::move(task)] {
            ScopedSequence sequence(this);
            task();
        });
    }
    void runSync(const Task& task) override {
        ScopedSequence sequence(this);
        task();
    }

  private:
    SimMainLoop& loop_;
};

}  // namespace ambleguard::sim
