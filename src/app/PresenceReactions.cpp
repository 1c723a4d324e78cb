#include "app/PresenceReactions.h"

#include "platform/ScreenSession.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsReaders.h"

namespace ambleguard {

namespace {

struct LossTexts {
    std::string_view suppressed;
    std::string_view locking;
    std::string_view notLocking;  // takes the last raw RSSI
};

LossTexts lossTexts(BluetoothLoss loss) {
    switch (loss) {
        case BluetoothLoss::poweredOff:
            return {"Lock suppressed by schedule (Bluetooth off)",
                    "(Lock Screen) Bluetooth state: Powered Off, device not nearby",
                    "Not locking screen despite Bluetooth off - device likely nearby (last RSSI: "
                    "{})"};
        case BluetoothLoss::unauthorized:
            return {"Lock suppressed by schedule (Bluetooth unauthorized)",
                    "(Lock Screen) Bluetooth unauthorized, device not nearby",
                    "Not locking screen despite Bluetooth unauthorized - device likely nearby "
                    "(last RSSI: {})"};
        case BluetoothLoss::unavailable:
            break;
    }
    return {"Lock suppressed by schedule (Bluetooth unavailable)",
            "(Lock Screen) Bluetooth not available, device not nearby",
            "Not locking screen despite Bluetooth unavailable - device likely nearby (last RSSI: "
            "{})"};
}

bool isProbe(const PresenceEngine::Effect& effect) {
    return std::holds_alternative<PresenceEngine::ProbeConnect>(effect) ||
           std::holds_alternative<PresenceEngine::ProbeReset>(effect);
}

}  // namespace

PresenceReactions::PresenceReactions(const Dependencies& deps)
    : clock_(deps.clock),
      settings_(deps.settings),
      log_(deps.logSink, "BT"),
      pipeline_(deps.pipeline),
      scanner_(deps.scanner),
      connections_(deps.connections),
      sounds_(deps.sounds),
      screenLock_(deps.screenLock),
      schedule_(deps.schedule),
      awayActions_(deps.awayActions),
      returnActions_(deps.returnActions),
      unlockOnTouch_(deps.unlockOnTouch),
      notifications_(deps.notifications),
      effects_(deps.pipeline.onEffectToCarryOut([this](const PresenceEngine::Effect& effect) {
          // Probes only make sense while there is a powered central to probe with.
          if (isProbe(effect) && !scanner_.isCentralPoweredOn()) {
              return;
          }
          handlePresenceEffect(effect);
      })),
      // A confirmed departure disarms unlock on touch, whatever caused it.
      confirmedGone_(deps.pipeline.onDeviceConfirmedGone(
          [this](std::string_view source, DevicePresenceState old) {
              unlockOnTouch_.deviceConfirmedGone(
                  fmt::format("{}, {} -> Absent", source, rawValue(old)));
          })),
      resetRequests_(
          deps.pipeline.onBluetoothResetRequested([this] { scanner_.resetBluetooth(); })) {}

void PresenceReactions::handlePresenceEffect(const PresenceEngine::Effect& effect) {
    if (const auto* gone = std::get_if<PresenceEngine::BecameGone>(&effect)) {
        if (gone->unconfirmed) {
            // Sleep only assumed the device gone. Nobody may have seen the screen lock since,
            // but a locked screen needs no away action.
            if (screenLock_.isLocked()) {
                log_.debug("Device not heard since wake - screen already locked");
                return;
            }
            log_.info("{} since wake - acting on the departure",
                      gone->reason == PresenceEngine::GoneReason::weak ? "Device only heard faintly"
                                                                       : "Device not heard");
        }
        handleDeviceGone(gone->reason);
    } else if (std::holds_alternative<PresenceEngine::Returned>(effect)) {
        log_.debug("Device returned");
        if (!schedule_.shouldSuppress()) {
            sounds_.play(SoundEvent::deviceReturned);
        }
        // Both apply their own gates.
        returnActions_.performReturnAction();
        returnActions_.performUnlockOnReturn();
    } else if (std::holds_alternative<PresenceEngine::CancelledLeaving>(effect)) {
        log_.debug("Leaving cancelled - signal recovered");
    } else if (std::holds_alternative<PresenceEngine::ProbeConnect>(effect)) {
        connections_.attemptConnection("grace-window");
    } else if (std::holds_alternative<PresenceEngine::ProbeReset>(effect)) {
        log_.debug("Silence probe -> Bluetooth reset");
        scanner_.resetBluetooth();
    }
}

void PresenceReactions::handleDeviceGone(PresenceEngine::GoneReason reason) {
    log_.debug("(Lock Screen) Device gone ({})", toString(reason));
    if (schedule_.shouldSuppress()) {
        log_.debug("Lock suppressed by schedule (device gone)");
        return;
    }
    // On a locked screen nobody is there to hear or read about it.
    if (!screenLock_.isLocked()) {
        sounds_.play(SoundEvent::deviceLeft);
        if (settings_.boolForKey(keys::notificationsAllowed)) {
            notifications_.showNotification(reason);
        }
    }
    // The away action decides itself what a locked screen means for it.
    awayActions_.performAwayAction();
}

void PresenceReactions::handleScreenLockChange(std::string_view noticeName) {
    const Instant now = clock_.now();
    if (noticeName == kScreenUnlockedNotice) {
        if (scanner_.isCentralPoweredOn()) {
            log_.debug("Screen unlocked - previous state: {}", storedPresenceState(settings_));
            settings_.setDate(keys::lastScreenUnlockTime, now);
            pipeline_.clearFailures();
            if (settings_.boolForKey(keys::canScan)) {
                scanner_.startScanning();
            }
            scanner_.startPresenceTimer();
        } else {
            // Without Bluetooth there is no evidence the device is here: stay absent, but do
            // not run the away action on a screen the user just unlocked.
            pipeline_.forcePresenceGone("Bluetooth off at unlock");
            log_.debug("Screen unlocked but Bluetooth is off - maintaining absent state");
        }
    } else if (noticeName == kScreenLockedNotice) {
        const std::string awayShortcut = timeAgo(keys::lastAwayShortcutTime, now);
        const std::string directLock = timeAgo(keys::lastDirectLockTime, now);
        const std::string unlock = timeAgo(keys::lastScreenUnlockTime, now);
        settings_.setDate(keys::lastScreenLockTime, now);
        log_.debug(
            "Screen locked - presence: {}, last away shortcut: {}, last direct lock: {}, last "
            "unlock: {}",
            storedPresenceState(settings_), awayShortcut, directLock, unlock);
    }
}

std::string PresenceReactions::timeAgo(std::string_view key, Instant now) const {
    if (auto at = settings_.dateForKey(key)) {
        return fmt::format("{:.1f}s ago", secondsBetween(*at, now));
    }
    return "never";
}

void PresenceReactions::decideLockOnBluetoothLoss(BluetoothLoss loss) {
    const LossTexts texts = lossTexts(loss);
    const int lastRaw = pipeline_.lastRawRSSI();
    // Without a reading there is no sign the device is near, so that counts as far away.
    const bool notNearby = !screenLock_.isLocked() && (lastRaw < -60 || lastRaw == 0);
    if (!notNearby) {
        log_.debug(fmt::runtime(texts.notLocking), lastRaw);
        return;
    }
    if (schedule_.shouldSuppress()) {
        log_.debug("{}", texts.suppressed);
        return;
    }
    sounds_.play(SoundEvent::deviceLeft);
    if (settings_.boolForKey(keys::notificationsAllowed)) {
        notifications_.showNotification(PresenceEngine::GoneReason::weak);
    }
    log_.debug("{}", texts.locking);
    awayActions_.performAwayAction();
}

}  // namespace ambleguard
