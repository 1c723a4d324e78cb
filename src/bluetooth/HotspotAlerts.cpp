#include "bluetooth/HotspotAlerts.h"

#include "settings/SettingsKeys.h"

#include <string>
#include <utility>

namespace ambleguard {

HotspotAlerts::HotspotAlerts(const Clock& clock, SettingsStore& settings, Notifier& notifier,
                             LogSink& logSink, std::function<ScanMode()> currentScanMode)
    : clock_(clock),
      settings_(settings),
      notifier_(notifier),
      log_(logSink, "Hotspot"),
      currentScanMode_(std::move(currentScanMode)) {}

void HotspotAlerts::handleHotspotChange(HotspotMonitor::Kind kind) {
    const bool passiveOnly = settings_.boolForKey(keys::disableConnectedPrimary);
    log_.info("Hotspot active ({}), connected primary {}", HotspotMonitor::toString(kind),
              passiveOnly ? "already disabled" : "enabled");
    if (passiveOnly || currentScanMode_() != ScanMode::monitoring ||
        !settings_.boolForKey(keys::canScan) || !settings_.boolForKey(keys::notificationsAllowed)) {
        return;
    }
    const Instant now = clock_.now();
    if (lastHotspotNotification_ &&
        secondsBetween(*lastHotspotNotification_, now) < kHotspotNotificationCooldown) {
        return;
    }
    lastHotspotNotification_ = now;

    NotificationRequest request;
    // One identifier for all of them: a new one replaces the last if it is still showing.
    request.identifier = kNotificationIdentifier;
    request.title = "Ambleguard";
    request.body = kind == HotspotMonitor::Kind::bluetoothPAN
                       ? "Bluetooth tethering detected. It may affect Ambleguard's device "
                         "monitoring."
                       : "Personal Hotspot detected. It may affect Ambleguard's device "
                         "monitoring.";
    request.playsSound = false;
    // The completion may run on any thread; the log sink takes lines from any thread.
    notifier_.deliver(std::move(request), [log = log_](const Result<void>& delivered) {
        if (!delivered) {
            log.error("Error showing hotspot notification: {}", delivered.error());
        }
    });
}

}  // namespace ambleguard
