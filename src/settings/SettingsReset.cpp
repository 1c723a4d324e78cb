#include "settings/SettingsReset.h"

#include "settings/SettingsKeys.h"

namespace ambleguard {

namespace k = keys;

void resetDetectionSettings(SettingsStore& store) {
    store.setString(k::detectionMode, std::string(bound::detectionMode.defaultValue));
    store.setDouble(k::averageMinRSSI, bound::averageMinRSSI.defaultValue);
    store.setDouble(k::hysteresisReturnBuffer, bound::hysteresisReturnBuffer.defaultValue);
    store.setDouble(k::hysteresisAwayBuffer, bound::hysteresisAwayBuffer.defaultValue);
    store.setBool(k::showDeadBandOnGraph, false);
    store.setDouble(k::lastSeenTimeout, bound::lastSeenTimeout.defaultValue);
    store.setDouble(k::unlockCooldownPeriod, 1.0);
    store.setDouble(k::lockCooldownPeriod, 1.0);
    store.setBool(k::activityMonitorEnabled, true);
    store.setDouble(k::activityMonitorThreshold, 10.0);
    store.setBool(k::suppressSuddenSignalLoss, false);
    store.setBool(k::disableConnectedPrimary, false);
    store.setBool(k::decideOnRawRSSI, false);
}

void resetEverythingKeys(SettingsStore& store) {
    resetDetectionSettings(store);

    store.setString(k::lockMode, "Lock Screen");
    store.setBool(k::preventAwayShortcutWhenLocked, false);
    store.setBool(k::preventReturnShortcutWhenLocked, false);

    // Written explicitly so the schedule gate and the panel agree afterwards.
    store.setBool(k::scheduleEnabled, false);
    store.setString(k::scheduleMode, "suspend");
    store.setInteger(k::scheduleStartHour, 1);
    store.setInteger(k::scheduleStartMinute, 0);
    store.setInteger(k::scheduleEndHour, 6);
    store.setInteger(k::scheduleEndMinute, 0);

    store.setBool(k::isPinEnabled, false);
    store.setString(k::hashedPIN, "");
    store.setBool(k::notificationsAllowed, false);

    store.removeObject(k::checkedPeripheralUUID);
    store.removeObject(k::checkedPeripheralName);
    store.removeObject(k::checkedBeaconIdentity);

    store.setString(k::shortcutNameOnLock, "");
    store.setString(k::shortcutNameOnReturn, "");

    store.setBool(k::autoUnlockEnabled, false);
    store.setBool(k::unlockOnTouchForReturn, false);
    store.setBool(k::unlockOnTouchForAnyLock, false);
    store.setBool(k::canScan, false);

    store.removeObject(k::userHasCompletedOnboarding);
}

SettingsReset::SettingsReset(SettingsStore& store, LaunchAtLogin& launchAtLogin, AppInstance& app,
                             Alerts& alerts, Executor& mainQueue, LogSink& logSink,
                             std::function<void()> stopScanningPermanently)
    : store_(store),
      launchAtLogin_(launchAtLogin),
      app_(app),
      alerts_(alerts),
      mainQueue_(mainQueue),
      log_(logSink, "Delegate"),
      stopScanningPermanently_(std::move(stopScanningPermanently)) {}

void SettingsReset::resetEverythingAndRelaunch() {
    resetEverythingKeys(store_);
    launchAtLogin_.setEnabled(false);
    store_.synchronize();
    // The new instance finds onboarding incomplete; this one ends once the launch was handled.
    app_.launchNewInstance([this] { mainQueue_.post([this] { app_.terminate(); }); });
}

void SettingsReset::completeReset() {
    AlertRequest request;
    request.style = AlertStyle::critical;
    request.title = "Reset All Settings";
    request.message =
        "All settings and app data will be permanently deleted. This cannot be undone.\n\n"
        "Do you want to continue?";
    request.buttons = {"Reset Everything", "Cancel"};
    alerts_.show(std::move(request), [this](std::size_t button) {
        if (button == 0) {
            performCompleteReset();
        }
    });
}

void SettingsReset::performCompleteReset() {
    log_.notice("Performing complete settings reset");
    if (stopScanningPermanently_) {
        stopScanningPermanently_();
    }
    for (std::string_view key : {k::isPinEnabled,
                                 k::hashedPIN,
                                 k::averageMinRSSI,
                                 k::lastSeenTimeout,
                                 k::disableConnectedPrimary,
                                 k::decideOnRawRSSI,
                                 k::canScan,
                                 k::userHasCompletedOnboarding,
                                 k::deviceExpirationTime,
                                 k::showOnlyAppleDevices,
                                 k::notificationsAllowed,
                                 k::enableDeviceExpiration,
                                 k::lockMode,
                                 k::devicePresenceState,
                                 k::isAdvancedEnabled,
                                 k::checkedPeripheralUUID,
                                 k::checkedPeripheralName,
                                 k::checkedBeaconIdentity,
                                 k::networkAccessAttempted,
                                 k::onboardingLaunchAtLoginPreference,
                                 k::showSignalStrengthInMenuBar,
                                 k::autoUnlockEnabled,
                                 k::unlockByTyping}) {
        store_.removeObject(key);
    }
    launchAtLogin_.setEnabled(false);
    store_.synchronize();
    log_.notice("Settings reset completed");

    AlertRequest done;
    done.style = AlertStyle::informational;
    done.title = "Reset Complete";
    done.message = "All settings and app data have been cleared. The app will now quit.";
    done.buttons = {"OK"};
    alerts_.show(std::move(done), [this](std::size_t) { app_.terminate(); });
}

}  // namespace ambleguard
