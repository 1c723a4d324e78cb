#pragma once

#include <optional>

namespace ambleguard {

struct DeferDecision {
    bool defer = false;
    double delay = 0;  // seconds; 0 when not deferring
    bool operator==(const DeferDecision&) const = default;
};

// Input idle time and the away action's activity gate (implemented by ActivityMonitor).
class ActivityGate {
  public:
    virtual ~ActivityGate() = default;
    // Seconds since the last keyboard or pointer input, or nothing when unknown.
    virtual std::optional<double> idleTime() = 0;
    virtual DeferDecision shouldDefer() = 0;
};

}  // namespace ambleguard
