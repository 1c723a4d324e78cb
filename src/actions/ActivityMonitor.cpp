#include "actions/ActivityMonitor.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsReaders.h"

#include <cmath>

namespace ambleguard {

ActivityMonitor::ActivityMonitor(const SettingsStore& store, IdleClock& idleClock)
    : store_(store), idleClock_(idleClock) {}

std::optional<double> ActivityMonitor::idleTime() {
    const auto idle = idleClock_.secondsSinceLastInput();
    // A negative or non-finite idle time would turn into an endless or negative deferral.
    if (!idle || !std::isfinite(*idle) || *idle < 0) {
        return std::nullopt;
    }
    return idle;
}

DeferDecision ActivityMonitor::shouldDefer() {
    if (!store_.boolForKey(keys::activityMonitorEnabled)) {
        return {};
    }
    const double threshold = effectiveActivityMonitorThreshold(store_);
    const auto idle = idleTime();
    if (!idle) {
        return {};
    }
    if (threshold > *idle) {
        return {true, threshold - *idle};
    }
    return {};
}

}  // namespace ambleguard
