#pragma once

#include "actions/ScheduleGate.h"
#include "actions/ScheduleMode.h"
#include "base/Log.h"
#include "platform/Clock.h"
#include "settings/SettingsStore.h"

#include <cstdint>
#include <optional>

namespace ambleguard {

// The user's daily window, which either keeps locking out of a time span ("suspend") or
// restricts locking to it ("only"). Every answer is computed afresh from the settings store and
// the clock's local time of day; nothing is cached and no timer watches the window's edges.
//
// A stored hour outside 0...23 or minute outside 0...59 cannot describe a time of day. Such a
// window is treated like the empty window (start equal to end): never inside. The first time a
// given bad window is met it is logged as an error, so hand-edited settings do not fail quietly.
class ScheduleManager final : public ScheduleGate {
  public:
    ScheduleManager(const SettingsStore& store, const Clock& clock, LogSink& logSink);

    // True when locking is suppressed now; logs its reason when it is.
    bool shouldSuppress() override;

    // True when the current local time of day lies inside the window [start, end), which may
    // cross midnight. An empty or invalid window is never inside.
    bool isWithinSchedule();

  private:
    struct StoredWindow {
        std::int64_t startHour, startMinute, endHour, endMinute;
        bool operator==(const StoredWindow&) const = default;
    };

    const SettingsStore& store_;
    const Clock& clock_;
    Logger log_;
    std::optional<StoredWindow> reportedInvalid_;
};

}  // namespace ambleguard
