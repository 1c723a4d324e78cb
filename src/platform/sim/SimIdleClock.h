#pragma once

#include "platform/Clock.h"
#include "platform/IdleClock.h"

namespace ambleguard::sim {

// Idle time in virtual time: it grows with the clock and drops to zero on every input.
class SimIdleClock final : public IdleClock {
  public:
    // The last input happened when this object was built.
    explicit SimIdleClock(const Clock& clock) : clock_(clock), lastInput_(clock.now()) {}

    std::optional<double> secondsSinceLastInput() override {
        if (!readable_) {
            return std::nullopt;
        }
        return secondsBetween(lastInput_, clock_.now());
    }

    // A key press or pointer movement now.
    void userInput() { lastInput_ = clock_.now(); }
    // As if the last input happened `seconds` ago.
    void setIdleFor(double seconds) { lastInput_ = addSeconds(clock_.now(), -seconds); }
    // When false, the idle time cannot be read.
    void setReadable(bool readable) { readable_ = readable; }

  private:
    const Clock& clock_;
    Instant lastInput_;
    bool readable_ = true;
};

}  // namespace ambleguard::sim
