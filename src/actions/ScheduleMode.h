#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace ambleguard {

// How the daily schedule window restricts locking.
enum class ScheduleMode {
    suspendDuring,  // no locking inside the window
    onlyDuring,     // locking only inside the window
};

inline constexpr std::array<ScheduleMode, 2> kAllScheduleModes = {ScheduleMode::suspendDuring,
                                                                  ScheduleMode::onlyDuring};

// The stored form: "suspend" or "only".
inline std::string_view toString(ScheduleMode mode) {
    return mode == ScheduleMode::onlyDuring ? "only" : "suspend";
}

// Nothing for any text other than the two stored forms.
inline std::optional<ScheduleMode> scheduleModeFromString(std::string_view text) {
    if (text == "suspend") {
        return ScheduleMode::suspendDuring;
    }
    if (text == "only") {
        return ScheduleMode::onlyDuring;
    }
    return std::nullopt;
}

}  // namespace ambleguard
