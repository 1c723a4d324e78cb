#include "platform/posix/SystemClock.h"

#include <ctime>

namespace ambleguard::posix {

Instant SystemClock::now() const {
    return std::chrono::time_point_cast<std::chrono::microseconds>(
        std::chrono::system_clock::now());
}

LocalTimeOfDay SystemClock::localTimeOfDay(Instant at) const {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::seconds>(at));
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return {};
    }
    return LocalTimeOfDay{local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace ambleguard::posix
