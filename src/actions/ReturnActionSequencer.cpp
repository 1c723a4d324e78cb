#include "actions/ReturnActionSequencer.h"

#include "actions/LockMode.h"
#include "actions/SequencingHelpers.h"
#include "settings/BoundSetting.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsReaders.h"

#include <fmt/format.h>

#include <algorithm>

namespace ambleguard {

ReturnActionSequencer::ReturnActionSequencer(
    SettingsStore& store, const Published<DevicePresenceState>& presence, const Clock& clock,
    MainQueue& mainQueue, LogSink& logSink, ConsoleOutput& console,
    const ScreenLockControl& screenLock, ScheduleGate& schedule, const UnlockTestStatus& unlockTest,
    ScreenUnlocking& unlocker, UnlockOnTouchControl& unlockOnTouch, ShortcutRunner& shortcuts,
    ShortcutSequencingState& sequencing)
    : store_(store),
      presence_(presence),
      clock_(clock),
      mainQueue_(mainQueue),
      log_(logSink, "Shortcuts"),
      console_(console),
      screenLock_(screenLock),
      schedule_(schedule),
      unlockTest_(unlockTest),
      unlocker_(unlocker),
      unlockOnTouch_(unlockOnTouch),
      shortcuts_(shortcuts),
      sequencing_(sequencing) {}

bool ReturnActionSequencer::returnShortcutSuppressedBySchedule() {
    if (!schedule_.shouldSuppress()) {
        return false;
    }
    log_.info("Return shortcut suppressed by schedule");
    store_.setBool(keys::awayShortcutRanForCurrentEvent, false);
    return true;
}

void ReturnActionSequencer::performReturnAction() {
    const LockMode mode = storedLockMode(store_);
    const bool awayRan = store_.boolForKey(keys::awayShortcutRanForCurrentEvent);
    log_.debug("performReturnAction() called - awayRan: {}", boolText(awayRan));

    if (mode != LockMode::runShortcut) {
        return;
    }
    sequencing_.cancelPendingAwayShortcut("Cancelled pending away shortcut - device returned");

    if (store_.stringForKey(keys::shortcutNameOnReturn).value_or("").empty()) {
        log_.debug("No return shortcut configured");
        return;
    }
    if (!awayRan) {
        log_.info("Return shortcut skipped - away shortcut hasn't run");
        return;
    }
    if (returnShortcutSuppressedBySchedule()) {
        return;
    }
    if (returnCountdownActive_ || sequencing_.returnShortcutPending()) {
        log_.debug("Return shortcut countdown already in progress or pending");
        return;
    }

    // The postponed check does not measure again, so the wait stays bounded.
    if (const auto gap = alternationWait(store_, keys::lastAwayShortcutTime, clock_.now())) {
        log_.info("Return shortcut postponed - away ran {:.1f}s ago, waiting {:.1f}s", gap->elapsed,
                  gap->wait);
        sequencing_.setReturnShortcutPending(true);
        mainQueue_.postAfter(gap->wait, liveness_.guarded([this] { postponedReturnCheck(); }));
        return;
    }
    startReturnCountdown();
}

void ReturnActionSequencer::postponedReturnCheck() {
    sequencing_.setReturnShortcutPending(false);
    if (presence_.get() != DevicePresenceState::present) {
        log_.info("Postponed return shortcut cancelled - device no longer present");
        return;
    }
    if (!store_.boolForKey(keys::awayShortcutRanForCurrentEvent)) {
        log_.info("Postponed return shortcut cancelled - sequencing flag reset");
        return;
    }
    if (returnShortcutSuppressedBySchedule()) {
        return;
    }
    log_.debug("Cooldown complete, proceeding with return shortcut");
    startReturnCountdown();
}

void ReturnActionSequencer::startReturnCountdown() {
    if (returnCountdownActive_) {
        log_.debug("Return shortcut countdown already in progress");
        return;
    }
    returnCountdownActive_ = true;
    const double countdown = BoundSetting<double>(store_, bound::lastSeenTimeout).get();
    log_.info("Starting return shortcut countdown: {:.1f}s", countdown);
    mainQueue_.postAfter(countdown, liveness_.guarded([this] { returnCountdownEnded(); }));
}

void ReturnActionSequencer::returnCountdownEnded() {
    returnCountdownActive_ = false;
    // Only a confirmed presence counts: a weak signal may be the device leaving again.
    if (presence_.get() != DevicePresenceState::present) {
        log_.info("Return shortcut cancelled - device no longer present after delay");
        return;
    }
    if (!store_.boolForKey(keys::awayShortcutRanForCurrentEvent)) {
        log_.info("Return shortcut cancelled - sequencing flag reset during delay");
        return;
    }
    if (returnShortcutSuppressedBySchedule()) {
        return;
    }
    if (store_.boolForKey(keys::preventReturnShortcutWhenLocked) && screenLock_.isLocked()) {
        log_.info("Return shortcut skipped - screen is locked");
        store_.setBool(keys::awayShortcutRanForCurrentEvent, false);
        return;
    }

    const std::string name = store_.stringForKey(keys::shortcutNameOnReturn).value_or("");
    // The name may have been cleared during the countdown: end the pairing without running the
    // tool with no name.
    if (name.empty()) {
        log_.debug("No return shortcut configured");
        store_.setBool(keys::awayShortcutRanForCurrentEvent, false);
        return;
    }
    log_.info("Return shortcut executing: {}", name);
    store_.setBool(keys::awayShortcutRanForCurrentEvent, false);
    store_.setDate(keys::lastReturnShortcutTime, clock_.now());
    shortcuts_.runShortcut(name, "return", liveness_.guarded([this](bool succeeded) {
        if (!succeeded) {
            log_.error(
                "Return shortcut reported failure (sequencing already advanced; not retrying)");
        }
    }));
}

void ReturnActionSequencer::performUnlockOnReturn() {
    if (unlockTest_.isRunning()) {
        console_.writeLine("Unlock action skipped - unlock self-test in progress");
        return;
    }
    if (schedule_.shouldSuppress()) {
        console_.writeLine("Unlock action suppressed by schedule");
        return;
    }

    // A lock date ahead of now (the clock was set back) says nothing about how recently the
    // screen locked; honouring it would hold every unlock off for the length of the jump,
    // because each retry measures again. Such a date imposes no cooldown.
    const double cooldown = effectiveLockCooldownPeriod(store_);
    const auto sinceLock = secondsSinceStoredDate(store_, keys::lastScreenLockTime, clock_.now());
    if (sinceLock && *sinceLock >= 0 && *sinceLock < cooldown) {
        if (unlockRetryScheduled_) {
            console_.writeLine("Unlock action skipped - deferred retry already scheduled");
            return;
        }
        const double remaining = cooldown - *sinceLock;
        console_.writeLine(
            fmt::format("Unlock action deferred - screen locked {:.1f}s ago, "
                        "retrying in {:.1f}s",
                        *sinceLock, remaining));
        unlockRetryScheduled_ = true;
        mainQueue_.postAfter(remaining, liveness_.guarded([this] { deferredUnlockRetry(); }));
        return;
    }

    if (!store_.boolForKey(keys::userHasCompletedOnboarding) || !store_.boolForKey(keys::canScan)) {
        return;
    }
    // Both make their own checks and report them; their answers are not needed here.
    if (store_.boolForKey(keys::unlockOnTouchForReturn)) {
        (void)unlockOnTouch_.arm(/*unlockIfRecentInput=*/true);
    } else {
        (void)unlocker_.unlockScreen();
    }
}

void ReturnActionSequencer::deferredUnlockRetry() {
    unlockRetryScheduled_ = false;
    if (presence_.get() == DevicePresenceState::present) {
        performUnlockOnReturn();
    } else {
        console_.writeLine("Deferred unlock action cancelled - device no longer present");
    }
}

}  // namespace ambleguard
