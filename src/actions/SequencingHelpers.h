#pragma once

#include "base/Time.h"
#include "presence/DevicePresenceState.h"
#include "settings/SettingsReaders.h"
#include "settings/SettingsStore.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace ambleguard {

// The least time between the start of an away shortcut and the start of a return shortcut, in
// either order, so that one has a chance to finish before its opposite begins.
inline constexpr double kShortcutAlternationGap = 7.0;

// Seconds from the date stored under `key` to `now`; nothing when no date is stored. The result
// is negative when the stored date lies ahead of `now`, which happens after the wall clock was
// set back; each caller decides what such a date means for its wait.
inline std::optional<double> secondsSinceStoredDate(const SettingsStore& store,
                                                    std::string_view key, Instant now) {
    const auto stored = store.dateForKey(key);
    if (!stored) {
        return std::nullopt;
    }
    return secondsBetween(*stored, now);
}

// How long a shortcut must still wait because its opposite started at the date stored under
// `key`: nothing when that was at least the alternation gap ago (or never). A date ahead of
// `now` (the clock was set back) counts as "just started", so the wait is the whole gap once
// and never the length of the jump.
struct AlternationWait {
    double elapsed;  // seconds since the opposite started, 0 for a future date
    double wait;     // seconds still to wait
};

inline std::optional<AlternationWait> alternationWait(const SettingsStore& store,
                                                      std::string_view key, Instant now) {
    const auto since = secondsSinceStoredDate(store, key, now);
    if (!since || *since >= kShortcutAlternationGap) {
        return std::nullopt;
    }
    const double elapsed = std::max(*since, 0.0);
    return AlternationWait{elapsed, kShortcutAlternationGap - elapsed};
}

// The presence states that mean the device is away.
inline bool isWeakOrAbsent(DevicePresenceState presence) {
    return presence != DevicePresenceState::present;
}

}  // namespace ambleguard
