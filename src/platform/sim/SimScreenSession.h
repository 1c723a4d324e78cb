#pragma once

#include "base/Liveness.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "platform/Clock.h"
#include "platform/ScreenSession.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard::sim {

// A login session with a lock screen and a screen saver, in virtual time. Like the real one, a
// requested lock takes a moment before the lock screen is up, and lock and unlock notices are
// delivered on the main queue after the change. Every request is recorded as an action
// ("screen locked", "screen saver started", ...) for tests and the simulator's transcript.
class SimScreenSession final : public ScreenSession {
  public:
    struct Action {
        Instant at;
        std::string what;
    };

    SimScreenSession(MainQueue& mainQueue, const Clock& clock);

    // The port.
    std::optional<bool> screenIsLockedNow() const override;
    [[nodiscard]] Connection observe(ScreenNotice notice, std::function<void()> handler) override;
    Result<void> lockScreenImmediately() override;
    std::optional<std::int32_t> startScreenSaver() override;
    Result<void> launchScreenSaverApplication() override;
    std::string_view directLockEntryPoint() const override { return "SACLockScreenImmediate"; }
    std::string_view screenSaverEntryPoint() const override { return "CGSStartScreenSaver"; }

    // The user at the machine.
    void userLocksScreen();
    // The user types the password at the lock screen; also ends the screen saver.
    void userUnlocksScreen();
    // Another user's session comes to the front, and later this one again. The lock screen is
    // not involved: the session only announces that it went to the background and came back.
    void userSwitchesAway();
    void userSwitchesBack();
    // The lock screen lets the user in on its own (a correct password, an unlock request).
    void lockScreenUnlocks();

    // How the session behaves.
    void setLockDelay(double seconds) { lockDelay_ = seconds; }
    // When false, the session cannot say whether it is locked.
    void setLockStateReadable(bool readable) { lockStateReadable_ = readable; }
    void setDirectLockAvailable(bool available) { directLockAvailable_ = available; }
    // The screen saver entry point's status; nothing makes the entry point missing.
    void setScreenSaverStatus(std::optional<std::int32_t> status) { screenSaverStatus_ = status; }
    // Makes launching the screen saver application fail with this description.
    void setScreenSaverLaunchError(std::optional<std::string> error) {
        launchError_ = std::move(error);
    }
    // When set, a running screen saver locks the screen after this many seconds, as it does
    // when the system asks for the password on leaving the screen saver.
    void setScreenSaverLocksAfter(std::optional<double> seconds) { saverLocksAfter_ = seconds; }

    // What the screen shows now.
    bool screenLocked() const { return locked_; }
    bool screenSaverRunning() const { return screenSaverRunning_; }

    const std::vector<Action>& actions() const { return actions_; }
    std::size_t count(std::string_view what) const;
    // Raised for every action as it is recorded.
    [[nodiscard]] Connection onAction(std::function<void(const Action&)> observer);

  private:
    void record(std::string what);
    void lockAfter(double seconds);
    void becomeLocked();
    void becomeUnlocked();
    void saverStarted(std::string what);
    void deliver(ScreenNotice notice);
    Signal<>& noticeSignal(ScreenNotice notice);

    MainQueue& mainQueue_;
    const Clock& clock_;
    double lockDelay_ = 0.3;
    bool lockStateReadable_ = true;
    bool directLockAvailable_ = true;
    std::optional<std::int32_t> screenSaverStatus_ = 0;
    std::optional<std::string> launchError_;
    std::optional<double> saverLocksAfter_;

    bool locked_ = false;
    bool screenSaverRunning_ = false;
    ScopedTimer pendingLock_;
    std::vector<Action> actions_;
    Signal<const Action&> actionRecorded_;
    Signal<> lockedNotice_;
    Signal<> unlockedNotice_;
    Signal<> switchedAwayNotice_;
    Signal<> switchedBackNotice_;
    LivenessToken liveness_;
};

}  // namespace ambleguard::sim
