#pragma once

#include "base/Log.h"
#include "bluetooth/HotspotMonitor.h"
#include "bluetooth/ScanMode.h"
#include "platform/Clock.h"
#include "platform/Notifier.h"
#include "settings/SettingsStore.h"

#include <functional>
#include <optional>

namespace ambleguard {

// The user's side of a tether: every new tether is logged, and while monitoring (with
// notifications allowed and the connected feed in use) the user is told, at most once an hour,
// that it may affect device monitoring. The spacing lives in memory only.
class HotspotAlerts final {
  public:
    static constexpr double kHotspotNotificationCooldown = 3600.0;
    static constexpr const char* kNotificationIdentifier = "hotspot-coexistence";

    HotspotAlerts(const Clock& clock, SettingsStore& settings, Notifier& notifier, LogSink& logSink,
                  std::function<ScanMode()> currentScanMode);
    HotspotAlerts(const HotspotAlerts&) = delete;
    HotspotAlerts& operator=(const HotspotAlerts&) = delete;

    // Main queue.
    void handleHotspotChange(HotspotMonitor::Kind kind);
    std::optional<Instant> lastHotspotNotification() const { return lastHotspotNotification_; }

  private:
    const Clock& clock_;
    SettingsStore& settings_;
    Notifier& notifier_;
    Logger log_;
    std::function<ScanMode()> currentScanMode_;
    std::optional<Instant> lastHotspotNotification_;
};

}  // namespace ambleguard
