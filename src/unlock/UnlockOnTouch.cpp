#include "unlock/UnlockOnTouch.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsReaders.h"

#include <limits>

#include <fmt/format.h>

namespace ambleguard {

UnlockOnTouch::UnlockOnTouch(Dependencies deps)
    : settings_(deps.settings),
      idleTime_(std::move(deps.idleTime)),
      screenLocked_(std::move(deps.screenLocked)),
      suppressed_(std::move(deps.suppressed)),
      selfTestRunning_(std::move(deps.selfTestRunning)),
      fire_(std::move(deps.fire)),
      wakeInput_(std::move(deps.wakeInput)),
      session_(deps.session),
      systemPower_(deps.systemPower),
      mainQueue_(deps.mainQueue),
      clock_(deps.clock),
      log_(deps.logSink, "UnlockOnTouch"),
      mainThread_(std::this_thread::get_id()) {}

UnlockOnTouch::Presence UnlockOnTouch::presence() const {
    const auto stored = settings_.stringForKey(keys::devicePresenceState);
    if (stored == "Weak Signal") {
        return Presence::weakSignal;
    }
    if (stored == "Absent") {
        return Presence::absent;
    }
    return Presence::present;  // "Present", never written, or anything else
}

bool UnlockOnTouch::unlockPermitted() const {
    return settings_.boolForKey(keys::userHasCompletedOnboarding) &&
           settings_.boolForKey(keys::canScan);
}

void UnlockOnTouch::start() {
    if (started_) {
        return;
    }
    started_ = true;
    lockObserver_ = session_.observe(ScreenNotice::locked, liveness_.guarded([this] { onLock(); }));
    sleepObserver_ = systemPower_.observe(PowerNotice::willSleep,
                                          liveness_.guarded([this] { disarm("system sleep"); }));
    screensWakeObserver_ = systemPower_.observe(PowerNotice::screensDidWake,
                                                liveness_.guarded([this] { screensWoke(true); }));
}

void UnlockOnTouch::onLock() {
    if (!settings_.boolForKey(keys::unlockOnTouchForAnyLock)) {
        return;
    }
    if (selfTestRunning_()) {
        log_.debug("Screen locked by the unlock self-test - not arming");
        return;
    }
    const double delay = effectiveLockCooldownPeriod(settings_);
    log_.info("Screen locked - arming in {:.1f}s if the device is still present", delay);
    (void)mainQueue_.postAfter(delay, liveness_.guarded([this] { armAfterLock(); }));
}

void UnlockOnTouch::armAfterLock() {
    if (!settings_.boolForKey(keys::unlockOnTouchForAnyLock)) {
        log_.debug("Not arming after lock - option turned off");
        return;
    }
    if (selfTestRunning_()) {
        log_.debug("Not arming after lock - unlock self-test running");
        return;
    }
    if (const auto p = presence(); p != Presence::present) {
        log_.debug("Not arming after lock - device not present ({})",
                   p == Presence::weakSignal ? "Weak Signal" : "Absent");
        return;
    }
    if (suppressed_()) {
        log_.debug("Not arming after lock - suppressed by schedule");
        return;
    }
    if (!unlockPermitted()) {
        log_.debug("Not arming after lock - onboarding not completed or scanning turned off");
        return;
    }
    (void)arm(false);
}

bool UnlockOnTouch::arm(bool unlockIfRecentInput) {
    if (!settings_.boolForKey(keys::autoUnlockEnabled)) {
        log_.debug("Not arming - auto-unlock disabled");
        return false;
    }
    if (!screenLocked_()) {
        log_.debug("Not arming - screen is not locked");
        return false;
    }
    if (isArmed_) {
        log_.debug("Already armed");
        return true;
    }
    isArmed_ = true;
    const auto idle = idleTime_();
    lastIdle_ = idle;
    if (unlockIfRecentInput && idle && *idle < recentInputWindow) {
        if (holdCheck(fmt::format("Armed with recent input (idle {:.1f}s)", *idle))) {
            log_.info("Armed with recent input (idle {:.1f}s) - unlocking now", *idle);
            fire();
            return true;
        }
    }
    log_.info("Armed - waiting for user input (idle now {:.1f}s)", idle.value_or(-1.0));
    if (!observingUnlocks_) {
        // Stays registered; at later unlocks it finds nothing armed.
        observingUnlocks_ = true;
        unlockObserver_ = session_.observe(
            ScreenNotice::unlocked, liveness_.guarded([this] { disarm("screen unlocked"); }));
    }
    timer_ = mainQueue_.scheduleRepeating(pollInterval, pollTolerance,
                                          liveness_.guarded([this] { poll(); }));
    return true;
}

void UnlockOnTouch::poll() {
    if (!isArmed_ || !stillValid()) {
        return;
    }
    const auto idle = idleTime_();
    if (!idle) {
        return;
    }
    const double was = lastIdle_.value_or(std::numeric_limits<double>::infinity());
    lastIdle_ = idle;
    // The idle time falls only when new input arrives: a smaller value than last time is fresh
    // input, and an idle time resting near zero does not fire twice.
    if (*idle < touchThreshold && was > *idle) {
        if (holdCheck(fmt::format("User input detected (idle {:.2f}s)", *idle))) {
            log_.info("User input detected (idle {:.2f}s, was {:.2f}s) - unlocking", *idle, was);
            fire();
        }
    }
}

bool UnlockOnTouch::stillValid() {
    if (presence() == Presence::absent) {
        disarm("device gone (backstop: presence string Absent without a push)");
        return false;
    }
    if (screenLocked_()) {
        return true;
    }
    disarm("screen unlocked");
    return false;
}

bool UnlockOnTouch::holdCheck(const std::string& reason) {
    std::optional<std::string> blocker;
    if (selfTestRunning_()) {
        blocker = "unlock self-test running";
    } else if (suppressed_()) {
        blocker = "suppressed by schedule";
    }
    if (!blocker) {
        lastHoldLogged_.reset();
        return true;
    }
    if (blocker != lastHoldLogged_) {
        log_.info("{} but {} - holding the arm", reason, *blocker);
        lastHoldLogged_ = blocker;
    }
    return false;
}

void UnlockOnTouch::screensWoke(bool recheckAllowed) {
    const Instant since = addSeconds(clock_.now(), -wakeLookBack);
    if (!isArmed_) {
        if (const auto source = wakeInput_(since)) {
            log_.info("Screens woke (not armed) - {}", describe(*source));
        }
        return;
    }
    if (!stillValid()) {
        return;
    }
    if (const auto source = wakeInput_(since)) {
        const auto description = describe(*source);
        if (holdCheck("Screens woke on " + description)) {
            log_.info("Screens woke on {} - unlocking", description);
            fire();
        }
        return;
    }
    if (recheckAllowed) {
        log_.info("Screens woke, no human input recorded yet - re-checking in {:.1f}s",
                  wakeRecheckDelay);
        (void)mainQueue_.postAfter(wakeRecheckDelay,
                                   liveness_.guarded([this] { screensWoke(false); }));
    } else {
        log_.info("Screens woke without human input - staying armed for the poll");
    }
}

void UnlockOnTouch::fire() {
    disarm("fired");
    fire_();
}

void UnlockOnTouch::disarm(std::string_view reason) {
    if (!isArmed_) {
        return;
    }
    isArmed_ = false;
    lastIdle_.reset();
    lastHoldLogged_.reset();
    timer_.cancel();
    log_.info("Disarmed - {}", reason);
}

void UnlockOnTouch::deviceConfirmedGone(std::string_view reason) {
    if (std::this_thread::get_id() == mainThread_) {
        disarm(fmt::format("device gone ({})", reason));
        return;
    }
    log_.fault("deviceConfirmedGone called off main ({}) - disarming asynchronously", reason);
    mainQueue_.post(liveness_.guarded([this, reason = std::string(reason)] {
        disarm(fmt::format("device gone ({}, late: off-main producer)", reason));
    }));
}

}  // namespace ambleguard
