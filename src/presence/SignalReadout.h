#pragma once

#include <atomic>

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

    void publish(int lastFiltered, int average) {
        lastFilteredRSSI_.store(lastFiltered, std::memory_order_relaxed);
        averageRSSI_.store(average, std::memory_order_relaxed);
    }
    void clear() { publish(kNoReading, kNoReading); }

  private:
    std::atomic<int> lastFilteredRSSI_{kNoReading};
    std::atomic<int> averageRSSI_{kNoReading};
};

}  // namespace ambleguard
