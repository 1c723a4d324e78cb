#pragma once

#include <optional>
#include <string>

namespace ambleguard {

// Asking the login session to dismiss its own lock screen, where the session offers that to its
// owner (no password is typed or needed).
class SessionUnlock {
  public:
    virtual ~SessionUnlock() = default;
    // Whether the program's own login session can be addressed at all.
    virtual bool sessionFound() const = 0;
    // Hands the request over. Nothing when it was delivered (the lock screen may still ignore
    // it), or why it could not be delivered.
    virtual std::optional<std::string> requestUnlock() = 0;
};

// How this platform gets past its lock screen.
enum class UnlockMethod {
    // Typing the stored login password into the lock screen.
    keystrokes,
    // Asking the session to unlock itself.
    sessionRequest,
};

}  // namespace ambleguard
