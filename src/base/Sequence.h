#pragma once

#include <cassert>
#include <utility>

namespace ambleguard {

// Which sequence (a main loop, a serial queue) is running the current task on this thread.
// Executors that run tasks one at a time mark their tasks with ScopedSequence; code that must
// stay on one sequence can then check where it runs. Nothing marks the tasks of a pool that runs
// tasks concurrently: there is no sequence to check there.
using SequenceId = const void*;

inline SequenceId& currentSequenceSlot() {
    thread_local SequenceId current = nullptr;
    return current;
}

inline SequenceId currentSequence() {
    return currentSequenceSlot();
}

class ScopedSequence {
  public:
    explicit ScopedSequence(SequenceId id) : previous_(std::exchange(currentSequenceSlot(), id)) {}
    ~ScopedSequence() { currentSequenceSlot() = previous_; }
    ScopedSequence(const ScopedSequence&) = delete;
    ScopedSequence& operator=(const ScopedSequence&) = delete;

  private:
    SequenceId previous_;
};

// Remembers the first sequence it is checked on and, in debug builds, asserts that every later
// check happens on the same one. Checks made outside any sequence (set-up before a loop runs,
// tests calling in directly) neither bind nor fail.
class SequenceChecker {
  public:
    bool calledOnValidSequence() const {
        const SequenceId now = currentSequence();
        if (now == nullptr) {
            return true;
        }
        if (bound_ == nullptr) {
            bound_ = now;
        }
        return bound_ == now;
    }
    void check() const { assert(calledOnValidSequence() && "used on another sequence"); }

  private:
    mutable SequenceId bound_ = nullptr;
};

}  // namespace ambleguard
