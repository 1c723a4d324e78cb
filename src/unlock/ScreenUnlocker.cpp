#include "unlock/ScreenUnlocker.h"

#include "settings/SettingsKeys.h"
#include "unlock/PasswordText.h"

namespace ambleguard {

// One attempt's chain of steps and the password it captured; wiped when the chain ends.
struct ScreenUnlocker::Attempt {
    SecretUnits units;
};

ScreenUnlocker::ScreenUnlocker(Dependencies deps)
    : settings_(deps.settings),
      screenLocked_(std::move(deps.screenLocked)),
      method_(deps.method),
      keys_(deps.keys),
      sessionUnlock_(deps.sessionUnlock),
      userActivity_(deps.userActivity),
      passwords_(deps.passwords),
      sounds_(deps.sounds),
      session_(deps.session),
      mainQueue_(deps.mainQueue),
      clock_(deps.clock),
      log_(deps.logSink, "ScreenUnlocker") {}

bool ScreenUnlocker::mayAct() const {
    return method_ == UnlockMethod::keystrokes ? keys_.mayPostEvents()
                                               : sessionUnlock_.sessionFound();
}

std::shared_ptr<ScreenUnlocker::Attempt> ScreenUnlocker::checkPreconditions() {
    if (!settings_.boolForKey(keys::autoUnlockEnabled)) {
        log_.debug("Auto-unlock is disabled");
        return nullptr;
    }
    if (!screenLocked_()) {
        log_.debug("Screen is not locked, skipping unlock");
        return nullptr;
    }
    if (!mayAct()) {
        if (method_ == UnlockMethod::keystrokes) {
            log_.error("No Accessibility permission, cannot unlock");
        } else {
            log_.error("Own login session not found, cannot unlock");
        }
        return nullptr;
    }
    auto attempt = std::make_shared<Attempt>();
    if (method_ == UnlockMethod::sessionRequest) {
        return attempt;  // the session needs no password
    }
    auto password = passwords_.retrievePassword();
    auto units = password ? toUtf16(password->view()) : std::nullopt;
    if (!units || units->empty()) {
        log_.error("No password stored, cannot unlock");
        return nullptr;
    }
    attempt->units = std::move(*units);
    return attempt;
}

template <typename Step>
void ScreenUnlocker::after(double seconds, std::shared_ptr<Attempt> attempt, Step step) {
    (void)mainQueue_.postAfter(
        seconds, liveness_.guarded([this, attempt = std::move(attempt), step]() mutable {
            (this->*step)(attempt);
        }));
}

bool ScreenUnlocker::unlockScreen() {
    auto attempt = checkPreconditions();
    if (!attempt) {
        return false;
    }
    log_.info("{}", method_ == UnlockMethod::keystrokes
                        ? "Attempting screen unlock via keystroke injection"
                        : "Attempting screen unlock via session unlock request");
    wakeDisplay();
    (void)mainQueue_.postAfter(
        wakeKeyDelay, liveness_.guarded([this, attempt = std::move(attempt)]() mutable {
            pressWakeKey();
            after(typingDelay, std::move(attempt), &ScreenUnlocker::enterPassword);
        }));
    return true;
}

bool ScreenUnlocker::unlockAfterUserWake() {
    auto attempt = checkPreconditions();
    if (!attempt) {
        return false;
    }
    log_.info("User woke the Mac, unlocking");
    (void)mainQueue_.postAfter(
        wakeKeyDelay, liveness_.guarded([this, attempt = std::move(attempt)]() mutable {
            if (!screenLocked_()) {
                log_.info("Screen was unlocked before wake key, aborting");
                return;
            }
            if (method_ == UnlockMethod::keystrokes) {
                // Whatever the user's touch typed into the field goes first.
                keys_.press(InjectedKey::deleteBackward);
                keys_.press(InjectedKey::space);
            }
            after(typingDelay, std::move(attempt), &ScreenUnlocker::enterPassword);
        }));
    return true;
}

void ScreenUnlocker::wakeDisplay() {
    const int status = userActivity_.declareUserActivity(activityReason);
    if (status != 0) {
        log_.error("Failed to wake display: {}", status);
    } else {
        log_.debug("Display wake requested");
    }
}

void ScreenUnlocker::pressWakeKey() {
    if (method_ == UnlockMethod::keystrokes) {
        keys_.press(InjectedKey::space);
    }
}

void ScreenUnlocker::enterPassword(const std::shared_ptr<Attempt>& attempt) {
    if (method_ == UnlockMethod::sessionRequest) {
        if (!screenLocked_()) {
            log_.info("Screen was unlocked during wake sequence, aborting unlock request");
            return;
        }
        requestUnlock();
        return;
    }
    typePassword(*attempt);
    attempt->units.clear();
}

void ScreenUnlocker::typePassword(Attempt& attempt) {
    if (!screenLocked_()) {
        log_.info("Screen was unlocked during wake sequence, aborting password entry");
        return;
    }
    keys_.press(InjectedKey::deleteBackward);
    const auto units = attempt.units.view();
    const auto fragments = passwordFragments(units);
    const auto n = fragments.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (!screenLocked_()) {
            log_.info("Screen unlocked before fragment {}/{}, aborting password entry", i + 1, n);
            return;
        }
        typeUnits(units, fragments[i].begin, fragments[i].end);
    }
    if (!screenLocked_()) {
        log_.info("Screen unlocked after final fragment, not pressing Return");
        return;
    }
    keys_.press(InjectedKey::returnKey);
    log_.info("Password typed, unlock attempted");
    startOutcomeWatch();
}

void ScreenUnlocker::requestUnlock() {
    if (!requestSessionUnlock()) {
        sounds_.play(SoundEvent::unlockFailed);
        return;
    }
    log_.info("Session unlock requested, unlock attempted");
    startOutcomeWatch();
}

bool ScreenUnlocker::requestSessionUnlock() {
    if (const auto delivered = sessionUnlock_.requestUnlock(); !delivered) {
        log_.error("Auto-unlock failed: the session unlock request was not delivered: {}",
                   delivered.error());
        return false;
    }
    return true;
}

void ScreenUnlocker::typeUnits(std::u16string_view units, std::size_t begin, std::size_t end) {
    for (const auto run : keystrokeRuns({begin, end}, maxUnitsPerEvent, units)) {
        keys_.pressCarrying(units.substr(run.begin, run.size()));
    }
}

bool ScreenUnlocker::typeWholePassword(std::string_view password) {
    auto units = toUtf16(password);
    if (!units) {
        return false;
    }
    keys_.press(InjectedKey::deleteBackward);
    typeUnits(units->view(), 0, units->view().size());
    keys_.press(InjectedKey::returnKey);
    return true;
}

void ScreenUnlocker::startOutcomeWatch() {
    if (!outcomeWatch_) {
        outcomeWatch_.emplace(UnlockOutcomeWatch::Dependencies{
            .log = log_,
            .session = session_,
            .screenLocked = screenLocked_,
            .mainQueue = mainQueue_,
            .clock = clock_,
            .onOutcome = liveness_.guarded(
                [this](const UnlockOutcomeWatch::Outcome& outcome) { handleOutcome(outcome); }),
        });
    }
    outcomeWatch_->start();
}

void ScreenUnlocker::handleOutcome(const UnlockOutcomeWatch::Outcome& outcome) {
    const std::string_view trigger =
        method_ == UnlockMethod::keystrokes ? "Return" : "the unlock request";
    if (const auto* unlocked = std::get_if<UnlockOutcomeWatch::Unlocked>(&outcome)) {
        log_.info("Auto-unlock succeeded, screen unlocked {:.2f}s after {}", unlocked->after,
                  trigger);
        return;
    }
    log_.error("Auto-unlock failed: screen still locked {:.1f}s after {}",
               std::get<UnlockOutcomeWatch::StayedLocked>(outcome).after, trigger);
    sounds_.play(SoundEvent::unlockFailed);
}

}  // namespace ambleguard
