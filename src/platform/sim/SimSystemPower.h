#pragma once

#include "base/Liveness.h"
#include "base/MainQueue.h"
#include "platform/SystemPower.h"

namespace ambleguard::sim {

// Sleep and wake in the simulated world. A scenario or test says when the computer sleeps or
// wakes; the notices then reach their observers on the main queue, as the real ones do.
// Virtual time keeps running through a simulated sleep.
class SimSystemPower final : public SystemPower {
  public:
    explicit SimSystemPower(MainQueue& mainQueue) : mainQueue_(mainQueue) {}

    [[nodiscard]] Connection observe(PowerNotice notice, std::function<void()> handler) override;

    void systemWillSleep() { deliver(PowerNotice::willSleep); }
    void systemDidWake() { deliver(PowerNotice::didWake); }
    void screensDidWake() { deliver(PowerNotice::screensDidWake); }

  private:
    void deliver(PowerNotice notice);
    Signal<>& signalFor(PowerNotice notice);

    MainQueue& mainQueue_;
    Signal<> willSleep_;
    Signal<> didWake_;
    Signal<> screensDidWake_;
    LivenessToken liveness_;
};

}  // namespace ambleguard::sim
