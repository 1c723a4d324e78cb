#pragma once

#include "platform/Clock.h"

namespace ambleguard::posix {

// The machine's wall clock and time zone.
class SystemClock final : public Clock {
  public:
    Instant now() const override;
    LocalTimeOfDay localTimeOfDay(Instant at) const override;
};

}  // namespace ambleguard::posix
