#include "actions/ScreenLockState.h"

#include "settings/SettingsKeys.h"

#include <fmt/format.h>

namespace ambleguard {

ScreenLockState::ScreenLockState(ScreenSession& session, SettingsStore& store, const Clock& clock,
                                 LogSink& logSink, ConsoleOutput& console)
    : session_(session),
      store_(store),
      clock_(clock),
      log_(logSink, "ScreenLock"),
      console_(console),
      // A session that cannot tell us counts as unlocked; the next notice corrects it.
      isLocked_(session.screenIsLockedNow().value_or(false)) {
    // The connections are members, so the handlers never outlive this object.
    lockedNotice_ = session_.observe(ScreenNotice::locked, [this] { isLocked_ = true; });
    unlockedNotice_ = session_.observe(ScreenNotice::unlocked, [this] { isLocked_ = false; });
}

void ScreenLockState::lockScreenDirectly() {
    if (isLocked_) {
        log_.debug("Direct lock skipped - screen is already locked");
        return;
    }
    store_.setDate(keys::lastDirectLockTime, clock_.now());
    log_.info("Direct lock: calling {}", session_.directLockEntryPoint());
    if (const auto locked = session_.lockScreenImmediately(); !locked) {
        // Leaving must never pass silently with the screen open: say so loudly and cover the
        // screen with the next best thing.
        log_.error("Direct lock failed: {}; starting the screen saver instead", locked.error());
        directLockFailed_.emit(locked.error());
        startScreenSaver();
    }
}

void ScreenLockState::startScreenSaver() {
    if (isLocked_) {
        console_.writeLine("Screensaver skipped - screen is already locked");
        return;
    }
    const auto status = session_.startScreenSaver();
    if (!status) {
        console_.writeLine(
            fmt::format("{} symbol not found, using fallback", session_.screenSaverEntryPoint()));
        launchScreenSaverApplication();
        return;
    }
    if (*status != 0) {
        console_.writeLine(fmt::format("Failed to start screensaver with error: {}", *status));
        launchScreenSaverApplication();
    }
}

void ScreenLockState::launchScreenSaverApplication() {
    if (const auto launched = session_.launchScreenSaverApplication(); !launched) {
        console_.writeLine(fmt::format("Error launching screensaver: {}", launched.error()));
    }
}

Connection ScreenLockState::onDirectLockFailed(std::function<void(const std::string&)> observer) {
    return directLockFailed_.connect(std::move(observer));
}

}  // namespace ambleguard
