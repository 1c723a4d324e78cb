#include "actions/ScheduleManager.h"

#include "settings/SettingsKeys.h"

namespace ambleguard {

namespace {

bool isValidTime(std::int64_t hour, std::int64_t minute) {
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59;
}

}  // namespace

ScheduleManager::ScheduleManager(const SettingsStore& store, const Clock& clock, LogSink& logSink)
    : store_(store), clock_(clock), log_(logSink, "Schedule") {}

bool ScheduleManager::isWithinSchedule() {
    const StoredWindow window{store_.integerForKey(keys::scheduleStartHour),
                              store_.integerForKey(keys::scheduleStartMinute),
                              store_.integerForKey(keys::scheduleEndHour),
                              store_.integerForKey(keys::scheduleEndMinute)};
    if (!isValidTime(window.startHour, window.startMinute) ||
        !isValidTime(window.endHour, window.endMinute)) {
        // Checked before any arithmetic, so absurd values cannot overflow either.
        if (reportedInvalid_ != window) {
            reportedInvalid_ = window;
            log_.error(
                "Schedule window {:02}:{:02}-{:02}:{:02} is not a valid time of day; "
                "treating it as empty",
                window.startHour, window.startMinute, window.endHour, window.endMinute);
        }
        return false;
    }
    reportedInvalid_.reset();

    const std::int64_t start = window.startHour * 60 + window.startMinute;
    const std::int64_t end = window.endHour * 60 + window.endMinute;
    const LocalTimeOfDay local = clock_.localTimeOfDay(clock_.now());
    const std::int64_t now = std::int64_t{local.hour} * 60 + local.minute;

    if (start == end) {
        return false;  // equal ends mean no window at all, never a whole day
    }
    if (start < end) {
        return start <= now && now < end;
    }
    return now >= start || now < end;  // the window crosses midnight
}

bool ScheduleManager::shouldSuppress() {
    if (!store_.boolForKey(keys::scheduleEnabled)) {
        return false;
    }
    const bool within = isWithinSchedule();
    // Anything but "only", a missing value included, means "suspend".
    const ScheduleMode mode =
        scheduleModeFromString(store_.stringForKey(keys::scheduleMode).value_or(""))
            .value_or(ScheduleMode::suspendDuring);
    if (within == (mode == ScheduleMode::onlyDuring)) {
        return false;
    }
    log_.debug("Locking suppressed by schedule (mode: {}, within schedule: {})", toString(mode),
               boolText(within));
    return true;
}

}  // namespace ambleguard
