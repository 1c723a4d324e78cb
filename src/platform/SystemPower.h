#pragma once

#include "base/Signal.h"

#include <functional>

namespace ambleguard {

// The system's announcements around sleep.
enum class PowerNotice {
    // The computer is about to sleep.
    willSleep,
    // The computer woke from sleep.
    didWake,
    // The displays woke (after sleep or after they dimmed on their own).
    screensDidWake,
};

// Sleep and wake notices of the system.
class SystemPower {
  public:
    virtual ~SystemPower() = default;

    // Calls `handler` on the main queue for every notice of this kind, until the connection is
    // dropped. Any number of observers may listen to the same notice.
    [[nodiscard]] virtual Connection observe(PowerNotice notice, std::function<void()> handler) = 0;
};

}  // namespace ambleguard
