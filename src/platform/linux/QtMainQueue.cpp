#include "platform/linux/QtMainQueue.h"

#include "base/Sequence.h"

#include "base/Time.h"

#include <QThread>

#include <algorithm>
#include <limits>

namespace ambleguard::linuxdesktop {

namespace {

// Rounded up: work deferred to a deadline must never run before it.
std::chrono::microseconds toMicros(double seconds) {
    if (!(seconds > 0)) {
        return std::chrono::microseconds(0);
    }
    return waitMicroseconds(seconds);
}

}  // namespace

QtMainQueue::QtMainQueue() {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &context_, [this] { runDue(); });
}

QtMainQueue::~QtMainQueue() {
    timer_.stop();
}

TimerHandle QtMainQueue::schedule(SteadyTime due, std::shared_ptr<Entry> entry) {
    TimerHandle handle(entry->cancelled);
    const bool onOwnThread = QThread::currentThread() == context_.thread();
    bool needsWake = false;
    {
        std::lock_guard lock(mutex_);
        queue_.push(Scheduled{due, nextSequence_++, std::move(entry)});
        if (!onOwnThread && !wakePending_) {
            wakePending_ = true;
            needsWake = true;
        }
    }
    if (onOwnThread) {
        rearm();
    } else if (needsWake) {
        // The timer belongs to the owning thread; ask it to re-arm. If the queue is destroyed
        // first, Qt drops the call with its context object.
        QMetaObject::invokeMethod(
            &context_,
            [this] {
                {
                    std::lock_guard lock(mutex_);
                    wakePending_ = false;
                }
                rearm();
            },
            Qt::QueuedConnection);
    }
    return handle;
}

void QtMainQueue::post(Task task) {
    postAfter(0, std::move(task));
}

TimerHandle QtMainQueue::postAfter(double seconds, Task task) {
    auto entry = std::make_shared<Entry>(
        Entry{std::move(task), std::make_shared<std::atomic<bool>>(false), {}});
    return schedule(std::chrono::steady_clock::now() + toMicros(seconds), std::move(entry));
}

TimerHandle QtMainQueue::scheduleRepeating(double interval, double /*tolerance*/, Task task) {
    // Ticks are delivered precisely; the tolerance only permits lateness.
    auto period = toMicros(interval);
    if (period.count() == 0) {
        period = std::chrono::microseconds(1000);
    }
    auto entry = std::make_shared<Entry>(
        Entry{std::move(task), std::make_shared<std::atomic<bool>>(false), period});
    return schedule(std::chrono::steady_clock::now() + period, std::move(entry));
}

void QtMainQueue::runDue() {
    // Only work already due when this round starts runs in it: a task that posts more work
    // lets Qt's own events in before that work runs.
    const auto now = std::chrono::steady_clock::now();
    std::uint64_t lastSequence = 0;
    {
        std::lock_guard lock(mutex_);
        lastSequence = nextSequence_;
    }
    for (;;) {
        Scheduled item;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty() || queue_.top().due > now || queue_.top().sequence >= lastSequence) {
                break;
            }
            item = queue_.top();
            queue_.pop();
            if (item.entry->cancelled->load()) {
                continue;
            }
            if (item.entry->interval.count() > 0) {
                // A late tick is not repeated to catch up; the next one is a period from now.
                queue_.push(Scheduled{std::max(item.due + item.entry->interval, now),
                                      nextSequence_++, item.entry});
            }
        }
        ScopedSequence sequence(this);
        item.entry->task();
    }
    rearm();
}

void QtMainQueue::rearm() {
    std::chrono::microseconds wait{-1};
    {
        std::lock_guard lock(mutex_);
        while (!queue_.empty() && queue_.top().entry->cancelled->load()) {
            queue_.pop();
        }
        if (!queue_.empty()) {
            wait = std::max(std::chrono::microseconds(0),
                            std::chrono::duration_cast<std::chrono::microseconds>(
                                queue_.top().due - std::chrono::steady_clock::now()));
        }
    }
    if (wait.count() < 0) {
        timer_.stop();
        return;
    }
    // Round up to whole milliseconds: waking early only costs a re-arm, but waking late by
    // rounding down would be a fault repeated on every timer.
    const auto millis =
        std::min<std::int64_t>((wait.count() + 999) / 1000, std::numeric_limits<int>::max());
    timer_.start(static_cast<int>(millis));
}

}  // namespace ambleguard::linuxdesktop
