#include "unlock/UnlockTestCoordinator.h"

#include "unlock/PasswordText.h"

#include <fmt/format.h>

namespace ambleguard {

namespace phase = unlock_test_phase;

std::string_view toString(UnlockTestFailure failure) {
    switch (failure) {
        case UnlockTestFailure::noAccessibilityPermission:
            return "noAccessibilityPermission";
        case UnlockTestFailure::noPassword:
            return "noPassword";
        case UnlockTestFailure::alreadyLocked:
            return "alreadyLocked";
        case UnlockTestFailure::couldNotLock:
            return "couldNotLock";
        case UnlockTestFailure::userIntervened:
            return "userIntervened";
        case UnlockTestFailure::screenStayedLocked:
            return "screenStayedLocked";
        case UnlockTestFailure::didNotReachTyping:
            return "didNotReachTyping";
    }
    return "unknown";
}

std::string describe(const UnlockTestResult& result) {
    return result.failure ? fmt::format("failure({})", toString(*result.failure)) : "success";
}

UnlockTestCoordinator::UnlockTestCoordinator(Dependencies deps)
    : unlocker_(deps.unlocker),
      screenLocked_(std::move(deps.screenLocked)),
      lockScreenDirectly_(std::move(deps.lockScreenDirectly)),
      session_(deps.session),
      mainQueue_(deps.mainQueue),
      clock_(deps.clock),
      phase_(phase::Idle{}),
      log_(deps.logSink, "UnlockTest") {}

double UnlockTestCoordinator::sinceStart() const {
    return startedAt_ ? secondsBetween(*startedAt_, clock_.now()) : 0.0;
}

template <typename Fn>
void UnlockTestCoordinator::after(double seconds, Fn fn) {
    (void)mainQueue_.postAfter(seconds, testSteps_->guarded(std::move(fn)));
}

void UnlockTestCoordinator::startTest(std::string_view candidate) {
    if (isRunning_) {
        log_.info("startTest ignored - a test is already running");
        return;
    }
    const bool typing = unlocker_.method() == UnlockMethod::keystrokes;
    log_.info("Unlock self-test requested (candidate length: {})", characterCount(candidate));
    if (!unlocker_.mayAct()) {
        if (typing) {
            log_.error("Precondition failed: no Accessibility permission - screen not locked");
        } else {
            log_.error("Precondition failed: own login session not found - screen not locked");
        }
        phase_.set(phase::Finished{{UnlockTestFailure::noAccessibilityPermission}});
        return;
    }
    // Asking the session to unlock needs no password, so the candidate is not used then.
    if (typing && candidate.empty()) {
        log_.error("Precondition failed: empty candidate password - screen not locked");
        phase_.set(phase::Finished{{UnlockTestFailure::noPassword}});
        return;
    }
    if (screenLocked_()) {
        log_.error("Precondition failed: screen already locked - aborting");
        phase_.set(phase::Finished{{UnlockTestFailure::alreadyLocked}});
        return;
    }
    log_.info("{}", typing ? "Preconditions passed (accessibility ok, candidate present, screen "
                             "unlocked)"
                           : "Preconditions passed (own session found, screen unlocked)");
    startedAt_ = clock_.now();
    isRunning_ = true;
    hasCompleted_ = false;
    didType_ = false;
    sawUnlock_ = false;
    if (typing) {
        std::string copy(candidate);
        candidate_ = SecretText(copy);
    }
    testSteps_ = std::make_unique<LivenessToken>();
    lockedObserver_ =
        session_.observe(ScreenNotice::locked, testSteps_->guarded([this] { screenDidLock(); }));
    unlockedObserver_ = session_.observe(ScreenNotice::unlocked,
                                         testSteps_->guarded([this] { screenDidUnlock(); }));
    watchdog_ =
        mainQueue_.postAfter(watchdogDelay, testSteps_->guarded([this] { watchdogFired(); }));
    log_.debug("Watchdog armed for {:.1f}s", watchdogDelay);
    after(lockTimeout, [this] { lockCheck(); });
    log_.info("Locking screen for self-test");
    phase_.set(phase::Locking{});
    lockScreenDirectly_();
}

void UnlockTestCoordinator::lockCheck() {
    if (hasCompleted_ || !std::holds_alternative<phase::Locking>(phase_.get())) {
        return;
    }
    log_.error("No screenIsLocked notification within {:.1f}s - screen never locked", lockTimeout);
    finish({UnlockTestFailure::couldNotLock});
}

void UnlockTestCoordinator::screenDidLock() {
    if (!active() || !std::holds_alternative<phase::Locking>(phase_.get())) {
        log_.info("screenIsLocked received but ignored (running: {}, done: {})",
                  boolText(isRunning_), boolText(hasCompleted_));
        return;
    }
    log_.info("Screen locked at {:.2f}s - beginning wake/type sequence", sinceStart());
    phase_.set(phase::WaitingToType{});
    after(settleDelay, [this] { wakeStep(); });
}

void UnlockTestCoordinator::wakeStep() {
    if (!active()) {
        return;
    }
    log_.info("Waking display at {:.2f}s", sinceStart());
    unlocker_.wakeDisplay();
    after(wakeKeyDelay, [this] { keystrokeStep(); });
}

void UnlockTestCoordinator::keystrokeStep() {
    if (!active()) {
        return;
    }
    if (unlocker_.method() == UnlockMethod::keystrokes) {
        log_.info("Posting wake keystroke at {:.2f}s", sinceStart());
        unlocker_.pressWakeKey();
    }
    after(pretypeDelay, [this] { typingStep(); });
}

void UnlockTestCoordinator::typingStep() {
    if (!active()) {
        return;
    }
    if (sawUnlock_ || !screenLocked_()) {
        log_.info("Screen already unlocked at {:.2f}s before typing - user intervened",
                  sinceStart());
        finish({UnlockTestFailure::userIntervened});
        return;
    }
    didType_ = true;
    if (unlocker_.method() == UnlockMethod::keystrokes) {
        log_.info("Typing candidate password at {:.2f}s", sinceStart());
        (void)unlocker_.typeWholePassword(candidate_.view());
        candidate_.clear();
    } else {
        log_.info("Requesting session unlock at {:.2f}s", sinceStart());
        // An undelivered request is logged by the unlocker; the unlock check then reports it.
        (void)unlocker_.requestSessionUnlock();
    }
    phase_.set(phase::WaitingForUnlock{});
    after(unlockTimeout, [this] { unlockCheck(); });
}

void UnlockTestCoordinator::screenDidUnlock() {
    if (!active()) {
        return;
    }
    sawUnlock_ = true;
    if (didType_) {
        log_.info("Screen unlocked at {:.2f}s after typing - success", sinceStart());
        finish({});
    } else {
        log_.debug("screenIsUnlocked at {:.2f}s before typing - will report as user intervention",
                   sinceStart());
    }
}

void UnlockTestCoordinator::unlockCheck() {
    if (hasCompleted_) {
        return;
    }
    log_.error("No screenIsUnlocked within {:.1f}s after typing - screen stayed locked",
               unlockTimeout);
    finish({UnlockTestFailure::screenStayedLocked});
}

void UnlockTestCoordinator::watchdogFired() {
    if (hasCompleted_) {
        return;
    }
    log_.error("Watchdog fired at {:.2f}s (didType: {})", sinceStart(), boolText(didType_));
    finish(
        {didType_ ? UnlockTestFailure::screenStayedLocked : UnlockTestFailure::didNotReachTyping});
}

void UnlockTestCoordinator::finish(UnlockTestResult result) {
    if (hasCompleted_) {
        return;
    }
    hasCompleted_ = true;
    lockedObserver_.reset();
    unlockedObserver_.reset();
    watchdog_.cancel();
    candidate_.clear();
    isRunning_ = false;
    phase_.set(phase::Finished{result});
    log_.info("Unlock self-test finished at {:.2f}s: {} (didType: {}, sawUnlock: {})", sinceStart(),
              describe(result), boolText(didType_), boolText(sawUnlock_));
    startedAt_.reset();
}

}  // namespace ambleguard
