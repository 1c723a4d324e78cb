#include "platform/sim/SimClock.h"

namespace ambleguard::sim {

LocalTimeOfDay SimClock::localTimeOfDay(Instant at) const {
    const auto local = at + std::chrono::seconds(utcOffsetSeconds_);
    const auto sinceMidnight = local - std::chrono::floor<std::chrono::days>(local);
    const std::chrono::hh_mm_ss hms(std::chrono::floor<std::chrono::seconds>(sinceMidnight));
    return LocalTimeOfDay{static_cast<int>(hms.hours().count()),
                          static_cast<int>(hms.minutes().count()),
                          static_cast<int>(hms.seconds().count())};
}

Instant SimClock::defaultStart() {
    using namespace std::chrono;
    return Instant(sys_days(year(2026) / January / 5) + hours(9));
}

}  // namespace ambleguard::sim
