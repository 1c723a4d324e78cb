#pragma once

namespace ambleguard {

// Whether the screen is locked now, and the two ways of taking it away from the user
// (implemented by ScreenLockState).
class ScreenLockControl {
  public:
    virtual ~ScreenLockControl() = default;
    virtual bool isLocked() const = 0;
    virtual void lockScreenDirectly() = 0;
    virtual void startScreenSaver() = 0;
};

}  // namespace ambleguard
