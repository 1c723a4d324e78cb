#pragma once

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace ambleguard {

// Direct reads that apply their reader's own fallback for a never-written or unusable value.

// A cooldown or threshold of 0 or less (or never written) counts as `fallback`.
inline double positiveOr(double value, double fallback) {
    return value > 0 ? value : fallback;
}

inline double effectiveUnlockCooldownPeriod(const SettingsStore& store) {
    return positiveOr(store.doubleForKey(keys::unlockCooldownPeriod), 1.0);
}

inline double effectiveLockCooldownPeriod(const SettingsStore& store) {
    return positiveOr(store.doubleForKey(keys::lockCooldownPeriod), 1.0);
}

inline double effectiveActivityMonitorThreshold(const SettingsStore& store) {
    return positiveOr(store.doubleForKey(keys::activityMonitorThreshold), 10.0);
}

// The stored presence state string; a never-written key reads as "Present".
inline std::string storedPresenceState(const SettingsStore& store) {
    return store.stringForKey(keys::devicePresenceState).value_or("Present");
}

}  // namespace ambleguard
