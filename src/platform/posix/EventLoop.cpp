#include "platform/posix/EventLoop.h"

#include "base/Sequence.h"

#include "base/Time.h"

#include <cmath>

namespace ambleguard::posix {

namespace {

std::chrono::microseconds toMicros(double seconds) {
    if (!(seconds > 0)) {
        return std::chrono::microseconds(0);
    }
    return toMicroseconds(seconds);
}

}  // namespace

TimerHandle EventLoop::schedule(SteadyTime due, std::shared_ptr<Entry> entry) {
    TimerHandle handle(entry->cancelled);
    {
        std::lock_guard lock(mutex_);
        queue_.push(Scheduled{due, nextSequence_++, std::move(entry)});
    }
    wake_.notify_one();
    return handle;
}

void EventLoop::post(Task task) {
    postAfter(0, std::move(task));
}

TimerHandle EventLoop::postAfter(double seconds, Task task) {
    auto entry = std::make_shared<Entry>(
        Entry{std::move(task), std::make_shared<std::atomic<bool>>(false), {}});
    return schedule(std::chrono::steady_clock::now() + toMicros(seconds), std::move(entry));
}

TimerHandle EventLoop::scheduleRepeating(double interval, double /*tolerance*/, Task task) {
    auto period = toMicros(interval);
    if (period.count() == 0) {
        period = std::chrono::microseconds(1000);
    }
    auto entry = std::make_shared<Entry>(
        Entry{std::move(task), std::make_shared<std::atomic<bool>>(false), period});
    return schedule(std::chrono::steady_clock::now() + period, std::move(entry));
}

void EventLoop::run() {
    std::unique_lock lock(mutex_);
    quit_ = false;
    while (!quit_) {
        if (queue_.empty()) {
            wake_.wait(lock);
            continue;
        }
        const Scheduled& front = queue_.top();
        if (front.entry->cancelled->load()) {
            queue_.pop();
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (front.due > now) {
            // Wait on a copy: `front` refers into the queue, which other threads may grow (and
            // reallocate) while the lock is released during the wait.
            const SteadyTime due = front.due;
            wake_.wait_until(lock, due);
            continue;
        }
        Scheduled item = front;
        queue_.pop();
        if (item.entry->interval.count() > 0) {
            // A late tick is not repeated to catch up; the next one is one period from now.
            queue_.push(Scheduled{std::max(item.due + item.entry->interval, now), nextSequence_++,
                                  item.entry});
        }
        lock.unlock();
        ScopedSequence sequence(this);
        item.entry->task();
        lock.lock();
    }
}

void EventLoop::quit() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
}

}  // namespace ambleguard::posix
