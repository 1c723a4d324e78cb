#pragma once

#include "platform/Clock.h"

namespace ambleguard::sim {

// A clock that only moves when told to. The local time zone is a fixed offset from UTC.
class SimClock final : public Clock {
  public:
    explicit SimClock(Instant start = defaultStart(), int utcOffsetSeconds = 0)
        : now_(start), utcOffsetSeconds_(utcOffsetSeconds) {}

    Instant now() const override { return now_; }
    LocalTimeOfDay localTimeOfDay(Instant at) const override;

    void set(Instant at) { now_ = at; }
    void setUtcOffset(int seconds) { utcOffsetSeconds_ = seconds; }

    // 2026-01-05T09:00:00Z: a Monday morning, so scenarios start at a plausible hour.
    static Instant defaultStart();

  private:
    Instant now_;
    int utcOffsetSeconds_;
};

}  // namespace ambleguard::sim
