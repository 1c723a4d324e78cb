#pragma once

#include "base/Signal.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ambleguard {

// The session's own announcements that the screen was locked or unlocked.
enum class ScreenNotice { locked, unlocked };

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
    // follows) a little later. Returns nothing once the request was handed over, or why the
    // locking entry point could not be reached.
    virtual std::optional<std::string> lockScreenImmediately() = 0;

    // Starts the screen saver on the main display through the session's own entry point.
    // Returns its status (0 for success), or nothing when the entry point is missing.
    virtual std::optional<std::int32_t> startScreenSaver() = 0;

    // Starts the screen saver application as a separate process, without waiting for it.
    // Returns nothing when it was launched, or the launch error's description.
    virtual std::optional<std::string> launchScreenSaverApplication() = 0;
};

}  // namespace ambleguard
