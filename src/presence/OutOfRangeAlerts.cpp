#include "presence/OutOfRangeAlerts.h"

#include "settings/SettingsKeys.h"

#include <fmt/format.h>

#include <cmath>

namespace ambleguard {

OutOfRangeAlerts::OutOfRangeAlerts(const Clock& clock, const SettingsStore& settings,
                                   Notifier& notifier, const PresenceEngine& engine,
                                   const SignalReadout& readout, LogSink& logSink)
    : clock_(clock),
      settings_(settings),
      notifier_(notifier),
      engine_(engine),
      readout_(readout),
      log_(logSink, "BT"),
      random_(std::random_device{}()) {}

void OutOfRangeAlerts::showNotification(PresenceEngine::GoneReason reason) {
    log_.info("showNotification requested (reason: {}, notificationsAllowed: {})", toString(reason),
              boolText(settings_.boolForKey(keys::notificationsAllowed)));
    // Nothing is sent while monitoring is switched off, not even a test notification.
    if (!settings_.boolForKey(keys::canScan)) {
        return;
    }
    const std::string name =
        settings_.stringForKey(keys::checkedPeripheralName).value_or("Unknown");

    NotificationRequest request;
    request.identifier = newIdentifier();
    request.title = "Ambleguard";
    request.body = bodyFor(reason, name);
    // With event sounds on, the leave sound already plays; a second sound would be noise.
    request.playsSound = !settings_.boolForKey(keys::soundsEnabled);
    request.interruptionLevel = InterruptionLevel::timeSensitive;

    // The completion may outlive this object and run on another thread; it only logs.
    notifier_.deliver(std::move(request), [log = log_](const Result<void>& delivered) {
        if (!delivered) {
            log.error("Error showing notification: {}", delivered.error());
        }
    });
}

std::string OutOfRangeAlerts::bodyFor(PresenceEngine::GoneReason reason,
                                      const std::string& name) const {
    if (reason == PresenceEngine::GoneReason::silent) {
        long long seconds = 0;
        if (!engine_.readings().empty()) {
            seconds = std::llround(secondsBetween(engine_.readings().back().time, clock_.now()));
        }
        return fmt::format("{} stopped responding (no signal for {} seconds)", name, seconds);
    }
    return fmt::format("{} is out of range. Last RSSI: {}", name, readout_.averageRSSI());
}

std::string OutOfRangeAlerts::newIdentifier() {
    // A random (version 4, variant 1) UUID in its usual text form.
    const std::uint64_t high = (random_() & 0xFFFFFFFFFFFF0FFFULL) | 0x0000000000004000ULL;
    const std::uint64_t low = (random_() & 0x3FFFFFFFFFFFFFFFULL) | 0x8000000000000000ULL;
    return fmt::format("{:08X}-{:04X}-{:04X}-{:04X}-{:012X}", high >> 32, (high >> 16) & 0xFFFF,
                       high & 0xFFFF, low >> 48, low & 0xFFFFFFFFFFFFULL);
}

}  // namespace ambleguard
