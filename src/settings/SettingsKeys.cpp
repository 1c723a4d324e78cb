#include "settings/SettingsKeys.h"

#include <algorithm>

namespace ambleguard {

namespace {

using T = SettingType;

SettingValue b(bool v) {
    return SettingValue(v);
}
SettingValue i(std::int64_t v) {
    return SettingValue(v);
}
SettingValue d(double v) {
    return SettingValue(v);
}
SettingValue s(std::string_view v) {
    return SettingValue(std::string(v));
}

std::vector<SettingKeySpec> makeTable() {
    namespace k = keys;
    return {
        {k::canScan, T::boolean, b(bound::canScan.defaultValue), "false",
         "Master switch: monitoring on or off"},
        {k::userHasCompletedOnboarding, T::boolean,
         b(bound::userHasCompletedOnboarding.defaultValue), "false", "Onboarding finished"},
        {k::UserHasCompletedOnboarding, T::boolean, std::nullopt, "false",
         "Read once to seed the onboarding view's own completed state; nothing writes it"},
        {k::onboardingLaunchAtLoginPreference, T::boolean, std::nullopt, "false",
         "Launch-at-login choice made during onboarding"},
        {k::networkAccessAttempted, T::date, std::nullopt, "absent",
         "Time the onboarding network-permission step was last tried"},
        {k::SULastCheckTime, T::date, std::nullopt, "absent", "Last update check time"},
        {k::updateClientIdentifier, T::text, std::nullopt, "absent",
         "Random identifier sent with update checks; made at the first check"},
        {k::checkedPeripheralUUID, T::text, std::nullopt, "absent",
         "Identifier (UUID) of the selected device"},
        {k::checkedPeripheralName, T::text, std::nullopt, "absent",
         "Display name of the selected device"},
        {k::checkedBeaconIdentity, T::text, std::nullopt, "absent",
         "Beacon identity key of the selected device, when it is a beacon"},
        {k::showOnlyAppleDevices, T::boolean, b(bound::showOnlyAppleDevices.defaultValue), "false",
         "Device list shows only Apple devices"},
        {k::enableDeviceExpiration, T::boolean, b(bound::enableDeviceExpiration.defaultValue),
         "false", "Unseen devices drop out of the list"},
        {k::deviceExpirationTime, T::real, d(bound::deviceExpirationTime.defaultValue), "0",
         "Age in seconds after which an unseen device drops out"},
        {k::scanAllowDuplicates, T::boolean, std::nullopt, "false",
         "Scan reports every advertisement"},
        {k::detectionMode, T::text, s(bound::detectionMode.defaultValue),
         "\"Balanced\" in the scanner's change handler",
         "Signal filter profile: Responsive, Balanced or Stable"},
        {k::averageMinRSSI, T::real, d(bound::averageMinRSSI.defaultValue), "0",
         "Proximity threshold (dBm)"},
        {k::hysteresisReturnBuffer, T::real, d(bound::hysteresisReturnBuffer.defaultValue), "0",
         "Return buffer above the threshold (dB)"},
        {k::hysteresisAwayBuffer, T::real, d(bound::hysteresisAwayBuffer.defaultValue), "0",
         "Away buffer below the threshold (dB)"},
        {k::lastSeenTimeout, T::real, d(bound::lastSeenTimeout.defaultValue), "0",
         "Action delay (s)"},
        {k::showDeadBandOnGraph, T::boolean, b(bound::showDeadBandOnGraph.defaultValue), "false",
         "Signal graph draws the buffer band"},
        {k::suppressSuddenSignalLoss, T::boolean, b(false), "false",
         "Ignore a sudden total loss of signal"},
        {k::decideOnRawRSSI, T::boolean, std::nullopt, "false",
         "Presence decisions use raw instead of filtered readings"},
        {k::disableConnectedPrimary, T::boolean, b(false), "false",
         "Turns the connection feed off"},
        {k::devicePresenceState, T::text, s("Present"), "absent",
         "Last published presence state: Present, Weak Signal or Absent"},
        {k::lockMode, T::text, s("Lock Screen"), "absent",
         "Away action: Lock Screen, Start Screensaver or Run Shortcut"},
        {k::shortcutNameOnLock, T::text, s(""), "absent", "Shortcut run on away"},
        {k::shortcutNameOnReturn, T::text, s(""), "absent", "Shortcut run on return"},
        {k::preventAwayShortcutWhenLocked, T::boolean, b(false), "false",
         "Skip the away shortcut when the screen is already locked"},
        {k::preventReturnShortcutWhenLocked, T::boolean, b(false), "false",
         "Skip the return shortcut while the screen is locked"},
        {k::awayShortcutRanForCurrentEvent, T::boolean, std::nullopt, "false",
         "An away shortcut ran for the current away event"},
        {k::unlockCooldownPeriod, T::real, d(1.0), "1.0 (0 or less counts as 1.0)",
         "Minimum time after an unlock before an away action may run (s)"},
        {k::lockCooldownPeriod, T::real, d(1.0), "1.0 (0 or less counts as 1.0)",
         "Minimum time after a lock before a return unlock (s)"},
        {k::lastDirectLockTime, T::date, std::nullopt, "absent",
         "Time the program itself last locked the screen"},
        {k::lastScreenLockTime, T::date, std::nullopt, "absent",
         "Time of the last screen-lock notice"},
        {k::lastScreenUnlockTime, T::date, std::nullopt, "absent",
         "Time of the last screen-unlock notice"},
        {k::lastAwayShortcutTime, T::date, std::nullopt, "absent",
         "Time the away shortcut last ran"},
        {k::lastReturnShortcutTime, T::date, std::nullopt, "absent",
         "Time the return shortcut last ran"},
        {k::scheduleEnabled, T::boolean, b(false), "false", "Schedule gate on"},
        {k::scheduleMode, T::text, s("suspend"), "\"suspend\"",
         "suspend: no away action inside the window; only: away actions only inside it"},
        {k::scheduleStartHour, T::integer, i(1), "0", "Window start hour"},
        {k::scheduleStartMinute, T::integer, i(0), "0", "Window start minute"},
        {k::scheduleEndHour, T::integer, i(6), "0", "Window end hour"},
        {k::scheduleEndMinute, T::integer, i(0), "0", "Window end minute"},
        {k::activityMonitorEnabled, T::boolean, b(true), "false",
         "Defer the away action while the user is active"},
        {k::activityMonitorThreshold, T::real, d(10.0), "10.0 (0 or less counts as 10.0)",
         "Input-idle time required before the away action (s)"},
        {k::autoUnlockEnabled, T::boolean, std::nullopt, "false",
         "Auto-unlock by typing the stored login password"},
        {k::unlockByTyping, T::boolean, std::nullopt, "false",
         "Linux X11 only: unlock by typing the stored password instead of asking the session "
         "(read at start)"},
        {k::unlockOnTouchForReturn, T::boolean, b(false), "false",
         "Arm unlock on touch after an away lock instead of unlocking at once"},
        {k::unlockOnTouchForAnyLock, T::boolean, b(false), "false",
         "Arm unlock on touch after any screen lock"},
        {k::notificationsAllowed, T::boolean, b(false), "false", "User notifications wanted"},
        {k::soundsEnabled, T::boolean, b(false), "false (registered)", "Event sounds on"},
        {k::soundOnLeave, T::text, s("bundled:Drift"), "\"bundled:Drift\" (registered)",
         "Sound for the device leaving"},
        {k::soundOnReturn, T::text, s("bundled:Drift"), "\"bundled:Drift\" (registered)",
         "Sound for the device returning"},
        {k::soundVolume, T::real, d(0.4), "0.4 (registered)", "Sound volume (0...1)"},
        {k::isPinEnabled, T::boolean, b(bound::isPinEnabled.defaultValue), "false",
         "Settings are behind a PIN"},
        {k::hashedPIN, T::text, s(bound::hashedPIN.defaultValue), "absent", "Digest of the PIN"},
        {k::showSignalStrengthInMenuBar, T::boolean,
         b(bound::showSignalStrengthInMenuBar.defaultValue), "false",
         "Status item shows the signal level"},
        {k::isAdvancedEnabled, T::boolean, b(bound::isAdvancedEnabled.defaultValue), "false",
         "Main-panel flag"},
        {k::deviceListCollapsed, T::boolean, b(bound::deviceListCollapsed.defaultValue), "false",
         "Device list collapsed"},
        {k::expandedDeviceListHeight, T::real, d(bound::expandedDeviceListHeight.defaultValue), "0",
         "Remembered height of the expanded device list (0: none)"},
    };
}

}  // namespace

const std::vector<SettingKeySpec>& settingKeyTable() {
    static const std::vector<SettingKeySpec> table = makeTable();
    return table;
}

const SettingKeySpec* findSettingKey(std::string_view name) {
    const auto& table = settingKeyTable();
    auto it = std::find_if(table.begin(), table.end(),
                           [&](const SettingKeySpec& entry) { return entry.name == name; });
    return it == table.end() ? nullptr : &*it;
}

}  // namespace ambleguard
