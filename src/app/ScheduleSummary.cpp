#include "app/ScheduleSummary.h"

#include "app/PanelSettings.h"
#include "settings/SettingsKeys.h"

#include <fmt/format.h>

#include <algorithm>

namespace ambleguard {

std::string formatTimeOfDay(std::int64_t hour, std::int64_t minute) {
    const std::int64_t h = std::clamp<std::int64_t>(hour, 0, 23);
    const std::int64_t m = std::clamp<std::int64_t>(minute, 0, 59);
    const std::int64_t twelve = h % 12 == 0 ? 12 : h % 12;
    return fmt::format("{}:{:02} {}", twelve, m, h < 12 ? "AM" : "PM");
}

ScheduleSummary::ScheduleSummary(const SettingsStore& settings, ScheduleGate& gate)
    : settings_(settings), gate_(gate) {}

std::string ScheduleSummary::text() const {
    if (!panelBool(settings_, keys::scheduleEnabled)) {
        return "Schedule is disabled";
    }
    const std::string start = formatTimeOfDay(panelInteger(settings_, keys::scheduleStartHour),
                                              panelInteger(settings_, keys::scheduleStartMinute));
    const std::string end = formatTimeOfDay(panelInteger(settings_, keys::scheduleEndHour),
                                            panelInteger(settings_, keys::scheduleEndMinute));
    // Like the gate, any text other than "only" means pausing during the window.
    const bool onlyDuring = panelString(settings_, keys::scheduleMode) == "only";
    const bool suppressedNow = gate_.shouldSuppress();
    if (!onlyDuring) {
        return suppressedNow ? "Actions paused until " + end
                             : fmt::format("Actions will be paused between {} and {}", start, end);
    }
    return suppressedNow ? fmt::format("Actions will be allowed between {} and {}", start, end)
                         : "Actions allowed until " + end;
}

}  // namespace ambleguard
