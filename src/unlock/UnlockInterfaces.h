#pragma once

#include <string_view>

namespace ambleguard {

// Is the user-run unlock self-test in progress? (UnlockTestCoordinator)
class UnlockTestStatus {
  public:
    virtual ~UnlockTestStatus() = default;
    virtual bool isRunning() const = 0;
};

// Types the stored login password into the lock screen (ScreenUnlocker). It makes its own
// checks; the result tells whether an attempt was started.
class ScreenUnlocking {
  public:
    virtual ~ScreenUnlocking() = default;
    virtual bool unlockScreen() = 0;
};

// Unlock on touch: armed after a lock, disarmed when the device is confirmed gone.
class UnlockOnTouchControl {
  public:
    virtual ~UnlockOnTouchControl() = default;
    virtual bool arm(bool unlockIfRecentInput) = 0;
    virtual void deviceConfirmedGone(std::string_view reason) = 0;
};

// Unlock on touch's own observers (screen lock, sleep, display wake), started once at launch.
class UnlockOnTouchStartup {
  public:
    virtual ~UnlockOnTouchStartup() = default;
    // Registers the observers; a second call does nothing.
    virtual void start() = 0;
};

}  // namespace ambleguard
