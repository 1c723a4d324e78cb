#include "actions/AwayActionSequencer.h"

#include "actions/SequencingHelpers.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsReaders.h"

#include <algorithm>

namespace ambleguard {

AwayActionSequencer::AwayActionSequencer(
    SettingsStore& store, const Published<DevicePresenceState>& presence, const Clock& clock,
    MainQueue& mainQueue, LogSink& logSink, ConsoleOutput& console, ScreenLockControl& screenLock,
    ScheduleGate& schedule, ActivityGate& activity, const UnlockTestStatus& unlockTest,
    ShortcutRunner& shortcuts, ShortcutSequencingState& sequencing)
    : store_(store),
      presence_(presence),
      clock_(clock),
      mainQueue_(mainQueue),
      log_(logSink, "Shortcuts"),
      console_(console),
      screenLock_(screenLock),
      schedule_(schedule),
      activity_(activity),
      unlockTest_(unlockTest),
      shortcuts_(shortcuts),
      sequencing_(sequencing) {}

void AwayActionSequencer::performAwayAction() {
    if (unlockTest_.isRunning()) {
        log_.debug("Away action skipped - unlock self-test in progress");
        return;
    }
    if (schedule_.shouldSuppress()) {
        log_.debug("Away action suppressed by schedule");
        return;
    }

    const DeferDecision activity = activity_.shouldDefer();
    if (activity.defer) {
        if (awayActivityRetryScheduled_) {
            log_.debug("Away action skipped - activity defer already scheduled");
            return;
        }
        log_.debug("Away action deferred - user active, retrying in {:.1f}s", activity.delay);
        awayActivityRetryScheduled_ = true;
        mainQueue_.postAfter(activity.delay,
                             liveness_.guarded([this] { deferredRetry(Retry::activity); }));
        return;
    }

    // An unlock date ahead of now (the clock was set back) says nothing about how recently the
    // user unlocked; honouring it would hold every away action off for the length of the jump,
    // because each retry measures again. Such a date imposes no cooldown.
    const double cooldown = effectiveUnlockCooldownPeriod(store_);
    const auto sinceUnlock =
        secondsSinceStoredDate(store_, keys::lastScreenUnlockTime, clock_.now());
    if (sinceUnlock && *sinceUnlock >= 0 && *sinceUnlock < cooldown) {
        if (awayCooldownRetryScheduled_) {
            log_.debug("Away action skipped - deferred retry already scheduled");
            return;
        }
        const double remaining = cooldown - *sinceUnlock;
        log_.debug("Away action deferred - screen unlocked {:.1f}s ago, retrying in {:.1f}s",
                   *sinceUnlock, remaining);
        awayCooldownRetryScheduled_ = true;
        mainQueue_.postAfter(remaining,
                             liveness_.guarded([this] { deferredRetry(Retry::cooldown); }));
        return;
    }

    if (!store_.boolForKey(keys::userHasCompletedOnboarding) || !store_.boolForKey(keys::canScan)) {
        return;
    }

    const LockMode mode = storedLockMode(store_);
    if (mode == LockMode::runShortcut) {
        sequencing_.cancelPendingReturnShortcut(
            "Cancelled pending return shortcut - device left again");
        log_.info("Away triggered (shortcut mode): executing immediately");
        doAwayShortcut();
        return;
    }
    // No flag guards this delay: every departure schedules its own, and each re-checks the
    // presence and the lock state when it fires.
    mainQueue_.postAfter(kLockGraceDelay, liveness_.guarded([this, mode] { delayedLock(mode); }));
}

void AwayActionSequencer::deferredRetry(Retry which) {
    (which == Retry::activity ? awayActivityRetryScheduled_ : awayCooldownRetryScheduled_) = false;
    if (isWeakOrAbsent(presence_.get())) {
        performAwayAction();
    } else {
        log_.debug("Deferred away action cancelled - device returned");
    }
}

void AwayActionSequencer::delayedLock(LockMode mode) {
    if (!isWeakOrAbsent(presence_.get())) {
        log_.info("Away action cancelled - device returned during delay");
        return;
    }
    if (mode == LockMode::startScreensaver) {
        screenLock_.startScreenSaver();  // it checks the lock state itself
        return;
    }
    if (screenLock_.isLocked()) {
        console_.writeLine("Lock screen skipped - screen is already locked");
    } else {
        screenLock_.lockScreenDirectly();
    }
}

void AwayActionSequencer::doAwayShortcut() {
    const std::string awayName = store_.stringForKey(keys::shortcutNameOnLock).value_or("");
    const std::string returnName = store_.stringForKey(keys::shortcutNameOnReturn).value_or("");
    const bool skipWhenLocked = store_.boolForKey(keys::preventAwayShortcutWhenLocked);
    const std::string_view presence = rawValue(presence_.get());
    const bool awayRan = store_.boolForKey(keys::awayShortcutRanForCurrentEvent);

    log_.debug("doAwayShortcut() called - state: {}, awayRan: {}, pending: {}", presence,
               boolText(awayRan), boolText(sequencing_.awayShortcutPending()));

    if (awayName.empty()) {
        log_.debug("No away shortcut configured");
        return;
    }
    // Without a return shortcut there is no pairing to wait for: every departure runs it.
    if (!returnName.empty() && awayRan) {
        log_.info("Away shortcut skipped - already ran, waiting for return");
        return;
    }
    if (sequencing_.awayShortcutPending()) {
        log_.debug("Away shortcut already pending");
        return;
    }

    // The postponed check does not measure again, so the wait stays bounded.
    if (const auto gap = alternationWait(store_, keys::lastReturnShortcutTime, clock_.now())) {
        log_.info("Away shortcut postponed - return ran {:.1f}s ago, waiting {:.1f}s", gap->elapsed,
                  gap->wait);
        sequencing_.setAwayShortcutPending(true);
        mainQueue_.postAfter(gap->wait, liveness_.guarded([this] { postponedAwayCheck(); }));
        return;
    }

    if (skipWhenLocked && screenLock_.isLocked()) {
        log_.info("Away shortcut skipped - screen is already locked");
        return;
    }

    log_.info("Away shortcut executing: {}", awayName);
    if (!returnName.empty()) {
        // Set before the run starts, so a return arriving while it runs already sees the pair.
        store_.setBool(keys::awayShortcutRanForCurrentEvent, true);
        log_.debug("Set awayShortcutRanForCurrentEvent = true (before execution)");
    }
    startAwayShortcut(awayName);
}

void AwayActionSequencer::postponedAwayCheck() {
    sequencing_.setAwayShortcutPending(false);
    const std::string_view presence = rawValue(presence_.get());
    log_.debug("Postponed away shortcut checking state: {}", presence);
    if (!isWeakOrAbsent(presence_.get())) {
        log_.info("Postponed away shortcut cancelled - device returned (state: {})", presence);
        return;
    }
    if (store_.boolForKey(keys::awayShortcutRanForCurrentEvent)) {
        log_.info("Postponed away shortcut cancelled - already ran");
        return;
    }
    log_.debug("Cooldown complete, proceeding with away shortcut");

    const std::string awayName = store_.stringForKey(keys::shortcutNameOnLock).value_or("");
    const std::string returnName = store_.stringForKey(keys::shortcutNameOnReturn).value_or("");
    const bool skipWhenLocked = store_.boolForKey(keys::preventAwayShortcutWhenLocked);
    // The name may have been cleared while waiting; running the tool with no name only fails.
    if (awayName.empty()) {
        log_.debug("No away shortcut configured");
        return;
    }
    if (skipWhenLocked && screenLock_.isLocked()) {
        log_.info("Away shortcut skipped - screen is already locked");
        return;
    }
    log_.info("Away shortcut executing (after cooldown): {}", awayName);
    if (!returnName.empty()) {
        store_.setBool(keys::awayShortcutRanForCurrentEvent, true);
    }
    startAwayShortcut(awayName);
}

void AwayActionSequencer::startAwayShortcut(const std::string& name) {
    store_.setDate(keys::lastAwayShortcutTime, clock_.now());
    shortcuts_.runShortcut(name, "away", awayShortcutCompletion());
}

ShortcutRunner::Completion AwayActionSequencer::awayShortcutCompletion() {
    // The pairing flag and the start time stay as they are: the other side has already planned
    // around them.
    return liveness_.guarded([this](bool succeeded) {
        if (!succeeded) {
            log_.error(
                "Away shortcut reported failure (sequencing already advanced; not retrying)");
        }
    });
}

}  // namespace ambleguard
