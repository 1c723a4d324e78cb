#pragma once

#include "actions/ReturnActions.h"
#include "actions/ScheduleGate.h"
#include "actions/ScreenLockControl.h"
#include "actions/ShortcutRunner.h"
#include "actions/ShortcutSequencingState.h"
#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Published.h"
#include "platform/Clock.h"
#include "platform/Console.h"
#include "presence/DevicePresenceState.h"
#include "settings/SettingsStore.h"
#include "unlock/UnlockInterfaces.h"

namespace ambleguard {

// The two things done when the device comes back. The return shortcut (shortcut mode only)
// runs as the partner of an away shortcut that has run, at least the alternation gap after it,
// and only after a confirmation countdown the device survives as present. The unlock runs in
// every mode, after a cooldown since the last lock, either at once or by arming unlock on touch.
// Main queue only; delayed work re-checks the current state when it fires.
class ReturnActionSequencer final : public ReturnActions {
  public:
    ReturnActionSequencer(SettingsStore& store, const Published<DevicePresenceState>& presence,
                          const Clock& clock, MainQueue& mainQueue, LogSink& logSink,
                          ConsoleOutput& console, const ScreenLockControl& screenLock,
                          ScheduleGate& schedule, const UnlockTestStatus& unlockTest,
                          ScreenUnlocking& unlocker, UnlockOnTouchControl& unlockOnTouch,
                          ShortcutRunner& shortcuts, ShortcutSequencingState& sequencing);
    ReturnActionSequencer(const ReturnActionSequencer&) = delete;
    ReturnActionSequencer& operator=(const ReturnActionSequencer&) = delete;

    void performReturnAction() override;
    void performUnlockOnReturn() override;

    // True when the schedule suppresses the return shortcut now; a suppressed return also ends
    // the pairing with the away shortcut.
    bool returnShortcutSuppressedBySchedule();

    bool returnCountdownActive() const { return returnCountdownActive_; }
    bool unlockRetryScheduled() const { return unlockRetryScheduled_; }

  private:
    void postponedReturnCheck();
    void startReturnCountdown();
    void returnCountdownEnded();
    void deferredUnlockRetry();

    SettingsStore& store_;
    const Published<DevicePresenceState>& presence_;
    const Clock& clock_;
    MainQueue& mainQueue_;
    Logger log_;
    ConsoleOutput& console_;
    const ScreenLockControl& screenLock_;
    ScheduleGate& schedule_;
    const UnlockTestStatus& unlockTest_;
    ScreenUnlocking& unlocker_;
    UnlockOnTouchControl& unlockOnTouch_;
    ShortcutRunner& shortcuts_;
    ShortcutSequencingState& sequencing_;

    bool returnCountdownActive_ = false;
    bool unlockRetryScheduled_ = false;
    LivenessToken liveness_;
};

}  // namespace ambleguard
