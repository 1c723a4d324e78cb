#include "platform/sim/SimMainLoop.h"

#include <stdexcept>

namespace ambleguard::sim {

TimerHandle SimMainLoop::schedule(Instant due, std::shared_ptr<Entry> entry) {
    TimerHandle handle(entry->cancelled);
    queue_.push(Scheduled{due, nextSequence_++, std::move(entry)});
    return handle;
}

void SimMainLoop::post(Task task) {
    schedule(clock_.now(), std::make_shared<Entry>(
                               Entry{std::move(task), std::make_shared<std::atomic<bool>>(false)}));
}

TimerHandle SimMainLoop::postAfter(double seconds, Task task) {
    const Instant due = seconds > 0 ? addSeconds(clock_.now(), seconds) : clock_.now();
    return schedule(due, std::make_shared<Entry>(
                             Entry{std::move(task), std::make_shared<std::atomic<bool>>(false)}));
}

TimerHandle SimMainLoop::scheduleRepeating(double interval, double /*tolerance*/, Task task) {
    if (!(interval > 0)) {
        throw std::invalid_argument("repeating timer needs a positive interval");
    }
    auto entry = std::make_shared<Entry>(
        Entry{std::move(task), std::make_shared<std::atomic<bool>>(false), interval});
    return schedule(addSeconds(clock_.now(), interval), std::move(entry));
}

void SimMainLoop::dropCancelled() {
    while (!queue_.empty() && queue_.top().entry->cancelled->load()) {
        queue_.pop();
    }
}

void SimMainLoop::runFront() {
    Scheduled front = queue_.top();
    queue_.pop();
    if (front.due > clock_.now()) {
        clock_.set(front.due);
    }
    if (front.entry->interval > 0) {
        // Re-arm before running, so a tick that cancels its own timer stops it.
        queue_.push(
            Scheduled{addSeconds(front.due, front.entry->interval), nextSequence_++, front.entry});
    }
    ScopedSequence sequence(this);
    front.entry->task();
}

void SimMainLoop::runDue() {
    advanceTo(clock_.now());
}

void SimMainLoop::advanceTo(Instant to) {
    for (;;) {
        dropCancelled();
        if (queue_.empty() || queue_.top().due > to) {
            break;
        }
        runFront();
    }
    if (to > clock_.now()) {
        clock_.set(to);
    }
}

void SimMainLoop::advanceBy(double seconds) {
    advanceTo(addSeconds(clock_.now(), seconds));
}

bool SimMainLoop::runNext() {
    dropCancelled();
    if (queue_.empty()) {
        return false;
    }
    runFront();
    return true;
}

std::optional<Instant> SimMainLoop::nextDue() {
    dropCancelled();
    if (queue_.empty()) {
        return std::nullopt;
    }
    return queue_.top().due;
}

std::size_t SimMainLoop::pendingCount() {
    dropCancelled();
    return queue_.size();
}

}  // namespace ambleguard::sim
