#pragma once

#include "base/Result.h"

namespace ambleguard {

// Asking the login session to dismiss its own lock screen, where the session offers that to its
// owner (no password is typed or needed).
class SessionUnlock {
  public:
    virtual ~SessionUnlock() = default;
    // Whether the program's own login session can be addressed at all.
    virtual bool sessionFound() const = 0;
    // Hands the request over. Succeeds when it was delivered (the lock screen may still ignore
    // it); a failure says why it could not be.
    virtual Result<void> requestUnlock() = 0;
};

// How this platform gets past its lock screen.
enum class UnlockMethod {
    // Typing the stored login password into the lock screen.
    keystrokes,
    // Asking the session to unlock itself.
    sessionRequest,
};

}  // namespace ambleguard
