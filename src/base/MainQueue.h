#pragma once

#include "base/Executor.h"

#include <atomic>
#include <memory>
#include <utility>

namespace ambleguard {

// A handle on scheduled work. Copies share the same work; cancel() stops it from running (again).
// A default-constructed handle refers to nothing.
class TimerHandle {
  public:
    TimerHandle() = default;
    explicit TimerHandle(std::shared_ptr<std::atomic<bool>> cancelled)
        : cancelled_(std::move(cancelled)) {}

    void cancel() {
        if (cancelled_) {
            cancelled_->store(true);
        }
    }
    bool isCancelled() const { return !cancelled_ || cancelled_->load(); }
    bool refersToTimer() const { return cancelled_ != nullptr; }

  private:
    std::shared_ptr<std::atomic<bool>> cancelled_;
};

// Owns one timer and cancels it when replaced or destroyed, so an object's timers never outlive
// it.
class ScopedTimer {
  public:
    ScopedTimer() = default;
    ScopedTimer(TimerHandle handle) : handle_(std::move(handle)) {}  // NOLINT: implicit on purpose
    ScopedTimer(const ScopedTimer&) = delete;
    ScopedTimer& operator=(const ScopedTimer&) = delete;
    ScopedTimer(ScopedTimer&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    ScopedTimer& operator=(ScopedTimer&& other) noexcept {
        if (this != &other) {
            handle_.cancel();
            handle_ = std::exchange(other.handle_, {});
        }
        return *this;
    }
    ~ScopedTimer() { handle_.cancel(); }

    void cancel() {
        handle_.cancel();
        handle_ = {};
    }
    // True while a timer is held (it may have fired already if it was one-shot).
    bool isSet() const { return handle_.refersToTimer() && !handle_.isCancelled(); }

  private:
    TimerHandle handle_;
};

// The main thread's queue: every decision, timer and settings write of the core runs here.
// Tasks due at the same instant run in the order they were scheduled.
class MainQueue : public Executor {
  public:
    // Runs `task` once after `seconds` (0 or less: as soon as possible, after queued work).
    virtual TimerHandle postAfter(double seconds, Task task) = 0;
    // Runs `task` every `interval` seconds, first after one interval, until cancelled. The
    // platform may deliver a tick up to `tolerance` seconds late to save energy.
    virtual TimerHandle scheduleRepeating(double interval, double tolerance, Task task) = 0;
};

}  // namespace ambleguard
