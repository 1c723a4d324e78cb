#pragma once

#include "base/Time.h"

namespace ambleguard {

// The local wall-clock time of day of an instant, in the user's time zone.
struct LocalTimeOfDay {
    int hour = 0;    // 0...23
    int minute = 0;  // 0...59
    int second = 0;  // 0...60
};

// "Now" and the local time of day. The core never reads the system clock itself.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual Instant now() const = 0;
    virtual LocalTimeOfDay localTimeOfDay(Instant at) const = 0;
};

}  // namespace ambleguard
