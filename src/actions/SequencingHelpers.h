#pragma once

#include "app/SettingsReaders.h"
#include "app/SettingsStore.h"
#include "platform/Time.h"

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

// The published presence strings that mean the device is away.
inline bool isWeakOrAbsent(std::string_view presence) {
    return presence == "Weak Signal" || presence == "Absent";
}

inline bool isPresent(std::string_view presence) {
    return presence == "Present";
}

}  // namespace ambleguard
