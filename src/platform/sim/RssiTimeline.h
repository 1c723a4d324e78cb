#pragma once

#include "platform/sim/SimBluetoothConfig.h"

#include <optional>
#include <vector>

namespace ambleguard::sim {

// A device's signal over time (see SimRssiPoint), answered for any instant without expanding it
// into samples.
class RssiTimeline {
  public:
    struct Sample {
        double dbm = 0;
        bool advertising = true;
    };

    explicit RssiTimeline(std::vector<SimRssiPoint> points);

    // The signal at `t`; nothing when the device is out of range.
    std::optional<Sample> at(double t) const;
    bool inRange(double t) const { return at(t).has_value(); }
    bool advertising(double t) const;

    // The earliest time from `t` on (inclusive) at which the device advertises, is in range,
    // or is out of range; nothing when that never happens again.
    std::optional<double> nextAdvertisingFrom(double t) const;
    std::optional<double> nextInRangeFrom(double t) const;
    std::optional<double> nextOutOfRangeFrom(double t) const;

  private:
    // Index of the last point at or before `t`, or -1.
    long indexAt(double t) const;
    template <typename Pred>
    std::optional<double> nextFrom(double t, Pred matches) const;

    std::vector<SimRssiPoint> points_;
};

}  // namespace ambleguard::sim
