#pragma once

#include "actions/AwayActions.h"
#include "actions/ReturnActions.h"
#include "actions/ScheduleGate.h"
#include "actions/ScreenLockControl.h"
#include "bluetooth/ConnectionAttempts.h"
#include "feedback/EventSounds.h"
#include "unlock/UnlockInterfaces.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard::sim {

// Stands in for everything the presence pipeline acts on: it records each call, in order, as a
// short text ("play deviceLeft", "performAwayAction", "attemptConnection grace-window", ...)
// and otherwise does nothing. The screen reads as unlocked and the schedule as not suppressing
// unless told otherwise.
class RecordingActions final : public EventSounds,
                               public ScreenLockControl,
                               public ScheduleGate,
                               public AwayActions,
                               public ReturnActions,
                               public UnlockOnTouchControl,
                               public ConnectionAttempts {
  public:
    void play(SoundEvent event) override { record("play " + std::string(toString(event))); }

    bool isLocked() const override { return locked_; }
    void lockScreenDirectly() override {
        record("lockScreenDirectly");
        locked_ = true;
    }
    void startScreenSaver() override { record("startScreenSaver"); }

    bool shouldSuppress() override { return suppress_; }

    void performAwayAction() override { record("performAwayAction"); }
    void performReturnAction() override { record("performReturnAction"); }
    void performUnlockOnReturn() override { record("performUnlockOnReturn"); }

    bool arm(bool unlockIfRecentInput) override {
        record(unlockIfRecentInput ? "arm recent-input" : "arm");
        return true;
    }
    void deviceConfirmedGone(std::string_view reason) override {
        record("deviceConfirmedGone " + std::string(reason));
    }

    void attemptConnection(std::string_view trigger) override {
        record("attemptConnection " + std::string(trigger));
    }
    void tearDownConnectionFeed(std::string_view reason, bool cooldown) override {
        record("tearDownConnectionFeed " + std::string(reason) + (cooldown ? " cooldown" : ""));
    }
    void setOnboardingCalibrationConnectAllowed(bool allowed) override {
        record(allowed ? "calibrationConnect on" : "calibrationConnect off");
    }

    void setLocked(bool locked) { locked_ = locked; }
    void setSuppressed(bool suppress) { suppress_ = suppress; }

    const std::vector<std::string>& calls() const { return calls_; }
    std::size_t count(std::string_view call) const {
        return static_cast<std::size_t>(std::count(calls_.begin(), calls_.end(), call));
    }
    void clear() { calls_.clear(); }

  private:
    void record(std::string call) { calls_.push_back(std::move(call)); }

    std::vector<std::string> calls_;
    bool locked_ = false;
    bool suppress_ = false;
};

}  // namespace ambleguard::sim
