#pragma once

#include "actions/ScheduleGate.h"
#include "settings/SettingsStore.h"

#include <cstdint>
#include <string>

namespace ambleguard {

// A time of day as the panels write it: "1:05 AM", "12:00 PM" (12-hour clock, no leading zero
// on the hour). Values outside a day are shown at the nearest valid time.
std::string formatTimeOfDay(std::int64_t hour, std::int64_t minute);

// The schedule panel's status line and the main panel's schedule summary: whether the schedule
// is on, and what it does now and when that changes. The times are the panel's (1:00 to 6:00
// until written); whether actions are held back right now is the schedule gate's answer.
class ScheduleSummary {
  public:
    ScheduleSummary(const SettingsStore& settings, ScheduleGate& gate);

    std::string text() const;

  private:
    const SettingsStore& settings_;
    ScheduleGate& gate_;
};

}  // namespace ambleguard
