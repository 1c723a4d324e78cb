#pragma once

#include "actions/ActivityGate.h"
#include "actions/AwayActions.h"
#include "actions/LockMode.h"
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

// Decides whether, when and how the away action happens once the device is judged gone: a
// fixed chain of guards (unlock self-test, schedule, user activity, a cooldown after the last
// unlock, readiness), one-shot retries for the guards that only postpone, a grace delay before
// locking that a quick return cancels, and in shortcut mode the away shortcut, kept apart from
// the return shortcut. Main queue only; delayed work re-checks the current state when it fires.
class AwayActionSequencer final : public AwayActions {
  public:
    // Seconds between the decision to lock and the lock, so that a quick return can cancel it.
    static constexpr double kLockGraceDelay = 3.0;

    AwayActionSequencer(SettingsStore& store, const Published<DevicePresenceState>& presence,
                        const Clock& clock, MainQueue& mainQueue, LogSink& logSink,
                        ConsoleOutput& console, ScreenLockControl& screenLock,
                        ScheduleGate& schedule, ActivityGate& activity,
                        const UnlockTestStatus& unlockTest, ShortcutRunner& shortcuts,
                        ShortcutSequencingState& sequencing);
    AwayActionSequencer(const AwayActionSequencer&) = delete;
    AwayActionSequencer& operator=(const AwayActionSequencer&) = delete;

    void performAwayAction() override;

    // The away shortcut with its own guards (shortcut mode).
    void doAwayShortcut();

    bool awayActivityRetryScheduled() const { return awayActivityRetryScheduled_; }
    bool awayCooldownRetryScheduled() const { return awayCooldownRetryScheduled_; }

  private:
    enum class Retry { activity, cooldown };

    void deferredRetry(Retry which);
    void delayedLock(LockMode mode);
    void postponedAwayCheck();
    void startAwayShortcut(const std::string& name);
    ShortcutRunner::Completion awayShortcutCompletion();

    SettingsStore& store_;
    const Published<DevicePresenceState>& presence_;
    const Clock& clock_;
    MainQueue& mainQueue_;
    Logger log_;
    ConsoleOutput& console_;
    ScreenLockControl& screenLock_;
    ScheduleGate& schedule_;
    ActivityGate& activity_;
    const UnlockTestStatus& unlockTest_;
    ShortcutRunner& shortcuts_;
    ShortcutSequencingState& sequencing_;

    bool awayActivityRetryScheduled_ = false;
    bool awayCooldownRetryScheduled_ = false;
    LivenessToken liveness_;
};

}  // namespace ambleguard
