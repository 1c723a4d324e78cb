#include "platform/sim/SimScreenSession.h"

#include <algorithm>

#include <fmt/format.h>

namespace ambleguard::sim {

SimScreenSession::SimScreenSession(MainQueue& mainQueue, const Clock& clock)
    : mainQueue_(mainQueue), clock_(clock) {}

std::optional<bool> SimScreenSession::screenIsLockedNow() const {
    if (!lockStateReadable_) {
        return std::nullopt;
    }
    return locked_;
}

Connection SimScreenSession::observe(ScreenNotice notice, std::function<void()> handler) {
    return noticeSignal(notice).connect(std::move(handler));
}

Signal<>& SimScreenSession::noticeSignal(ScreenNotice notice) {
    switch (notice) {
        case ScreenNotice::locked:
            return lockedNotice_;
        case ScreenNotice::unlocked:
            return unlockedNotice_;
        case ScreenNotice::switchedAway:
            return switchedAwayNotice_;
        case ScreenNotice::switchedBack:
            break;
    }
    return switchedBackNotice_;
}

Result<void> SimScreenSession::lockScreenImmediately() {
    if (!directLockAvailable_) {
        record("direct lock unavailable");
        return failure("the lock entry point is not available");
    }
    record("direct lock requested");
    lockAfter(lockDelay_);
    return Result<void>::success();
}

std::optional<std::int32_t> SimScreenSession::startScreenSaver() {
    if (!screenSaverStatus_) {
        record("screen saver entry point missing");
        return std::nullopt;
    }
    if (*screenSaverStatus_ != 0) {
        record(fmt::format("screen saver failed with status {}", *screenSaverStatus_));
    } else {
        saverStarted("screen saver started");
    }
    return screenSaverStatus_;
}

Result<void> SimScreenSession::launchScreenSaverApplication() {
    if (launchError_) {
        record("screen saver application failed to launch");
        return failure(*launchError_);
    }
    saverStarted("screen saver application launched");
    return Result<void>::success();
}

void SimScreenSession::userLocksScreen() {
    record("user locks the screen");
    becomeLocked();
}

void SimScreenSession::userUnlocksScreen() {
    if (!locked_) {
        return;
    }
    record("user types the password");
    becomeUnlocked();
}

void SimScreenSession::lockScreenUnlocks() {
    if (locked_) {
        becomeUnlocked();
    }
}

void SimScreenSession::becomeUnlocked() {
    pendingLock_.cancel();
    locked_ = false;
    screenSaverRunning_ = false;
    record("screen unlocked");
    deliver(ScreenNotice::unlocked);
}

void SimScreenSession::userSwitchesAway() {
    record("user switched away");
    deliver(ScreenNotice::switchedAway);
}

void SimScreenSession::userSwitchesBack() {
    record("user switched back");
    deliver(ScreenNotice::switchedBack);
}

void SimScreenSession::lockAfter(double seconds) {
    if (locked_ || pendingLock_.isSet()) {
        return;  // the lock screen is already up or on its way
    }
    pendingLock_ = mainQueue_.postAfter(seconds, liveness_.guarded([this] {
        pendingLock_.cancel();
        becomeLocked();
    }));
}

void SimScreenSession::becomeLocked() {
    pendingLock_.cancel();
    if (locked_) {
        return;
    }
    locked_ = true;
    record("screen locked");
    deliver(ScreenNotice::locked);
}

void SimScreenSession::saverStarted(std::string what) {
    screenSaverRunning_ = true;
    record(std::move(what));
    if (saverLocksAfter_) {
        lockAfter(*saverLocksAfter_);
    }
}

void SimScreenSession::deliver(ScreenNotice notice) {
    mainQueue_.post(liveness_.guarded([this, notice] { noticeSignal(notice).emit(); }));
}

void SimScreenSession::record(std::string what) {
    const Action action{clock_.now(), std::move(what)};
    actions_.push_back(action);
    actionRecorded_.emit(action);  // by copy: an observer may record further actions
}

std::size_t SimScreenSession::count(std::string_view what) const {
    return static_cast<std::size_t>(std::count_if(actions_.begin(), actions_.end(),
                                                  [&](const Action& a) { return a.what == what; }));
}

Connection SimScreenSession::onAction(std::function<void(const Action&)> observer) {
    return actionRecorded_.connect(std::move(observer));
}

}  // namespace ambleguard::sim
