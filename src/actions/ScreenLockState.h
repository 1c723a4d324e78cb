#pragma once

#include "actions/ScreenLockControl.h"
#include "base/Log.h"
#include "base/Signal.h"
#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/ScreenSession.h"
#include "settings/SettingsStore.h"

#include <functional>
#include <string>

namespace ambleguard {

// The one answer to "is the screen locked now?", and the two ways the program takes the screen
// away from the user: locking it at once and starting the screen saver.
//
// The answer is seeded from the session when this object is built and afterwards follows only
// the session's own lock and unlock notices. Asking for a lock does not count as being locked:
// the lock screen may take a moment to appear, or may never appear.
class ScreenLockState final : public ScreenLockControl {
  public:
    ScreenLockState(ScreenSession& session, SettingsStore& store, const Clock& clock,
                    LogSink& logSink, ConsoleOutput& console);
    ScreenLockState(const ScreenLockState&) = delete;
    ScreenLockState& operator=(const ScreenLockState&) = delete;

    bool isLocked() const override { return isLocked_; }

    // Records `lastDirectLockTime` and asks the session to lock at once. When the session
    // cannot lock, the failure is logged as an error, announced through onDirectLockFailed,
    // and the screen saver is started instead so the screen is at least covered.
    void lockScreenDirectly() override;

    // Starts the screen saver, falling back to launching the screen saver application when the
    // session's entry point is missing or reports a failure.
    void startScreenSaver() override;

    // Raised, during lockScreenDirectly, with the reason whenever a direct lock could not be
    // requested, so the user can be told that leaving did not lock the screen.
    [[nodiscard]] Connection onDirectLockFailed(std::function<void(const std::string&)> observer);

  private:
    void launchScreenSaverApplication();

    ScreenSession& session_;
    SettingsStore& store_;
    const Clock& clock_;
    Logger log_;
    ConsoleOutput& console_;
    bool isLocked_;
    Signal<const std::string&> directLockFailed_;
    Connection lockedNotice_;
    Connection unlockedNotice_;
};

}  // namespace ambleguard
