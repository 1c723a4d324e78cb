#pragma once

#include "base/Sequence.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace ambleguard {

// Keeps one observer registered; disconnects when destroyed or reset.
class Connection {
  public:
    Connection() = default;
    explicit Connection(std::function<void()> disconnect) : disconnect_(std::move(disconnect)) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Connection(Connection&& other) noexcept : disconnect_(std::exchange(other.disconnect_, {})) {}
    Connection& operator=(Connection&& other) noexcept {
        if (this != &other) {
            reset();
            disconnect_ = std::exchange(other.disconnect_, {});
        }
        return *this;
    }
    ~Connection() { reset(); }
    void reset() {
        if (disconnect_) {
            std::exchange(disconnect_, {})();
        }
    }

  private:
    std::function<void()> disconnect_;
};

// A list of observers called synchronously, in registration order. Observers may connect or
// disconnect (themselves or others) and emit again while being called.
//
// Threads: a signal belongs to one sequence, the first one it is connected to or emitted on
// (set-up outside any sequence does not count); debug builds assert that it is used only there.
// Observers therefore run on the owner's sequence and need no locking of their own. A signal
// that must be raised from several threads does not exist on purpose: hop to the owner's
// sequence first.
template <typename... Args>
class Signal {
  public:
    Signal() = default;
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    ~Signal() {
        for (auto& slot : *slots_) {
            slot->active = false;
        }
    }

    [[nodiscard]] Connection connect(std::function<void(Args...)> fn) {
        sequence_.check();
        auto slot = std::make_shared<Slot>(Slot{std::move(fn), true});
        slots_->push_back(slot);
        std::weak_ptr<Slots> weakSlots = slots_;
        std::weak_ptr<Slot> weakSlot = slot;
        return Connection([weakSlots, weakSlot] {
            auto slots = weakSlots.lock();
            auto target = weakSlot.lock();
            if (!slots || !target) {
                return;
            }
            target->active = false;
            std::erase(*slots, target);
        });
    }

    void emit(Args... args) const {
        sequence_.check();
        auto snapshot = *slots_;  // observers may change the list while being called
        for (const auto& slot : snapshot) {
            if (slot->active) {
                slot->fn(args...);
            }
        }
    }

  private:
    struct Slot {
        std::function<void(Args...)> fn;
        bool active;
    };
    using Slots = std::vector<std::shared_ptr<Slot>>;
    std::shared_ptr<Slots> slots_ = std::make_shared<Slots>();
    SequenceChecker sequence_;
};

}  // namespace ambleguard
