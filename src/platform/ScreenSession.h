#pragma once

#include "base/Result.h"
#include "base/Signal.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ambleguard {

// The session's own announcements: the screen was locked or unlocked, or the user switched to
// another login session and back (fast user switching).
enum class ScreenNotice { locked, unlocked, switchedAway, switchedBack };

// The names under which the session's lock and unlock notices are passed around in the program
// (kept as the names other parts of the program and stored logs already use).
inline constexpr std::string_view kScreenLockedNotice = "com.apple.screenIsLocked";
inline constexpr std::string_view kScreenUnlockedNotice = "com.apple.screenIsUnlocked";

// The login session's lock screen and screen saver.
class ScreenSession {
  public:
    virtual ~ScreenSession() = default;

    // Whether the session reports its screen as locked right now; nothing when the session
    // cannot be asked or gives no usable answer.
    virtual std::optional<bool> screenIsLockedNow() const = 0;

    // Calls `handler` on the main queue for every system-wide notice of this kind, until the
    // connection is dropped. Any number of observers may listen to the same notice.
    [[nodiscard]] virtual Connection observe(ScreenNotice notice,
                                             std::function<void()> handler) = 0;

    // Asks the session to lock the screen at once. The lock screen appears (and the lock notice
    // follows) a little later. Succeeds once the request was handed over; a failure says why
    // the locking entry point could not be reached.
    virtual Result<void> lockScreenImmediately() = 0;

    // Starts the screen saver on the main display through the session's own entry point.
    // Returns its status (0 for success), or nothing when the entry point is missing.
    virtual std::optional<std::int32_t> startScreenSaver() = 0;

    // The names of the platform calls behind lockScreenImmediately and startScreenSaver, as
    // the log lines about them name them.
    virtual std::string_view directLockEntryPoint() const = 0;
    virtual std::string_view screenSaverEntryPoint() const = 0;

    // Starts the screen saver application as a separate process, without waiting for it.
    // A failure carries the launch error's description.
    virtual Result<void> launchScreenSaverApplication() = 0;
};

}  // namespace ambleguard
