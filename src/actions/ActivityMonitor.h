#pragma once

#include "actions/ActivityGate.h"
#include "platform/IdleClock.h"
#include "settings/SettingsStore.h"

#include <optional>

namespace ambleguard {

// How long the keyboard and pointer have been idle, and whether the away action should wait
// until they have been idle for the user's threshold. Holds no state of its own.
class ActivityMonitor final : public ActivityGate {
  public:
    ActivityMonitor(const SettingsStore& store, IdleClock& idleClock);

    // Nothing when the idle time cannot be read (or the platform gives a meaningless value).
    std::optional<double> idleTime() override;

    // Defers while the gate is on and the input has been idle for less than the threshold
    // (10 s when unset or not positive); the delay is the time left until it will have been.
    // An unreadable idle time never defers.
    DeferDecision shouldDefer() override;

  private:
    const SettingsStore& store_;
    IdleClock& idleClock_;
};

}  // namespace ambleguard
