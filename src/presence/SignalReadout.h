#pragma once

#include "base/Time.h"

#include <atomic>
#include <cstdint>
#include <limits>
#include <optional>

namespace ambleguard {

// The latest readings of the tracked device for everyone who shows them (menu bar, panel,
// onboarding, notifications). Written where readings are filtered, read from the main thread,
// hence atomics. One instance is shared by reference.
class SignalReadout {
  public:
    static constexpr int kNoReading = -127;

    // The latest rounded, clamped filtered reading in dBm.
    int lastFilteredRSSI() const { return lastFilteredRSSI_.load(std::memory_order_relaxed); }
    // The rounded mean of the display buffer after the latest reading, in dBm.
    int averageRSSI() const { return averageRSSI_.load(std::memory_order_relaxed); }

    // When the latest accepted reading arrived; nothing before the first or after a reset.
    std::optional<Instant> lastReadingTimestamp() const {
        const auto micros = lastReadingMicros_.load(std::memory_order_relaxed);
        if (micros == kNever) {
            return std::nullopt;
        }
        return Instant(std::chrono::microseconds(micros));
    }

    void publish(int lastFiltered, int average, std::optional<Instant> at = std::nullopt) {
        lastFilteredRSSI_.store(lastFiltered, std::memory_order_relaxed);
        averageRSSI_.store(average, std::memory_order_relaxed);
        lastReadingMicros_.store(at ? at->time_since_epoch().count() : kNever,
                                 std::memory_order_relaxed);
    }
    void clear() { publish(kNoReading, kNoReading); }

  private:
    std::atomic<int> lastFilteredRSSI_{kNoReading};
    std::atomic<int> averageRSSI_{kNoReading};
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::min();
    std::atomic<std::int64_t> lastReadingMicros_{kNever};
};

}  // namespace ambleguard
