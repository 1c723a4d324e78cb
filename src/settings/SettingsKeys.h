#pragma once

#include "base/SettingValue.h"

#include <optional>
#include <string_view>
#include <vector>

namespace ambleguard {

// The names of every stored setting, as the rest of the program spells them.
namespace keys {
inline constexpr std::string_view canScan = "canScan";
inline constexpr std::string_view userHasCompletedOnboarding = "userHasCompletedOnboarding";
inline constexpr std::string_view UserHasCompletedOnboarding = "UserHasCompletedOnboarding";
inline constexpr std::string_view onboardingLaunchAtLoginPreference =
    "onboardingLaunchAtLoginPreference";
inline constexpr std::string_view networkAccessAttempted = "networkAccessAttempted";
inline constexpr std::string_view SULastCheckTime = "SULastCheckTime";
inline constexpr std::string_view updateClientIdentifier = "updateClientIdentifier";
inline constexpr std::string_view checkedPeripheralUUID = "checkedPeripheralUUID";
inline constexpr std::string_view checkedPeripheralName = "checkedPeripheralName";
inline constexpr std::string_view checkedBeaconIdentity = "checkedBeaconIdentity";
inline constexpr std::string_view showOnlyAppleDevices = "showOnlyAppleDevices";
inline constexpr std::string_view enableDeviceExpiration = "enableDeviceExpiration";
inline constexpr std::string_view deviceExpirationTime = "deviceExpirationTime";
inline constexpr std::string_view scanAllowDuplicates = "scanAllowDuplicates";
inline constexpr std::string_view detectionMode = "detectionMode";
inline constexpr std::string_view averageMinRSSI = "averageMinRSSI";
inline constexpr std::string_view hysteresisReturnBuffer = "hysteresisReturnBuffer";
inline constexpr std::string_view hysteresisAwayBuffer = "hysteresisAwayBuffer";
inline constexpr std::string_view lastSeenTimeout = "lastSeenTimeout";
inline constexpr std::string_view showDeadBandOnGraph = "showDeadBandOnGraph";
inline constexpr std::string_view suppressSuddenSignalLoss = "suppressSuddenSignalLoss";
inline constexpr std::string_view decideOnRawRSSI = "decideOnRawRSSI";
inline constexpr std::string_view disableConnectedPrimary = "disableConnectedPrimary";
inline constexpr std::string_view devicePresenceState = "devicePresenceState";
inline constexpr std::string_view lockMode = "lockMode";
inline constexpr std::string_view shortcutNameOnLock = "shortcutNameOnLock";
inline constexpr std::string_view shortcutNameOnReturn = "shortcutNameOnReturn";
inline constexpr std::string_view preventAwayShortcutWhenLocked = "preventAwayShortcutWhenLocked";
inline constexpr std::string_view preventReturnShortcutWhenLocked =
    "preventReturnShortcutWhenLocked";
inline constexpr std::string_view awayShortcutRanForCurrentEvent = "awayShortcutRanForCurrentEvent";
inline constexpr std::string_view unlockCooldownPeriod = "unlockCooldownPeriod";
inline constexpr std::string_view lockCooldownPeriod = "lockCooldownPeriod";
inline constexpr std::string_view lastDirectLockTime = "lastDirectLockTime";
inline constexpr std::string_view lastScreenLockTime = "lastScreenLockTime";
inline constexpr std::string_view lastScreenUnlockTime = "lastScreenUnlockTime";
inline constexpr std::string_view lastAwayShortcutTime = "lastAwayShortcutTime";
inline constexpr std::string_view lastReturnShortcutTime = "lastReturnShortcutTime";
inline constexpr std::string_view scheduleEnabled = "scheduleEnabled";
inline constexpr std::string_view scheduleMode = "scheduleMode";
inline constexpr std::string_view scheduleStartHour = "scheduleStartHour";
inline constexpr std::string_view scheduleStartMinute = "scheduleStartMinute";
inline constexpr std::string_view scheduleEndHour = "scheduleEndHour";
inline constexpr std::string_view scheduleEndMinute = "scheduleEndMinute";
inline constexpr std::string_view activityMonitorEnabled = "activityMonitorEnabled";
inline constexpr std::string_view activityMonitorThreshold = "activityMonitorThreshold";
inline constexpr std::string_view autoUnlockEnabled = "autoUnlockEnabled";
inline constexpr std::string_view unlockByTyping = "unlockByTyping";
inline constexpr std::string_view unlockOnTouchForReturn = "unlockOnTouchForReturn";
inline constexpr std::string_view unlockOnTouchForAnyLock = "unlockOnTouchForAnyLock";
inline constexpr std::string_view notificationsAllowed = "notificationsAllowed";
inline constexpr std::string_view soundsEnabled = "soundsEnabled";
inline constexpr std::string_view soundOnLeave = "soundOnLeave";
inline constexpr std::string_view soundOnReturn = "soundOnReturn";
inline constexpr std::string_view soundVolume = "soundVolume";
inline constexpr std::string_view isPinEnabled = "isPinEnabled";
inline constexpr std::string_view hashedPIN = "hashedPIN";
inline constexpr std::string_view showSignalStrengthInMenuBar = "showSignalStrengthInMenuBar";
inline constexpr std::string_view isAdvancedEnabled = "isAdvancedEnabled";
inline constexpr std::string_view deviceListCollapsed = "deviceListCollapsed";
inline constexpr std::string_view expandedDeviceListHeight = "expandedDeviceListHeight";
}  // namespace keys

// A key together with the default its bound readers show while it holds nothing usable. Every
// bound reader, the key table and the resets take the default from here, so it is written once.
template <typename T>
struct BoundKey {
    std::string_view name;
    T defaultValue;
};

namespace bound {
inline constexpr BoundKey<bool> canScan{keys::canScan, false};
inline constexpr BoundKey<bool> userHasCompletedOnboarding{keys::userHasCompletedOnboarding, false};
inline constexpr BoundKey<bool> showOnlyAppleDevices{keys::showOnlyAppleDevices, false};
inline constexpr BoundKey<bool> enableDeviceExpiration{keys::enableDeviceExpiration, true};
inline constexpr BoundKey<double> deviceExpirationTime{keys::deviceExpirationTime, 60.0};
inline constexpr BoundKey<std::string_view> detectionMode{keys::detectionMode, "Stable"};
inline constexpr BoundKey<double> averageMinRSSI{keys::averageMinRSSI, -67.0};
inline constexpr BoundKey<double> hysteresisReturnBuffer{keys::hysteresisReturnBuffer, 4.0};
inline constexpr BoundKey<double> hysteresisAwayBuffer{keys::hysteresisAwayBuffer, 4.0};
inline constexpr BoundKey<double> lastSeenTimeout{keys::lastSeenTimeout, 1.0};
inline constexpr BoundKey<bool> isPinEnabled{keys::isPinEnabled, false};
inline constexpr BoundKey<std::string_view> hashedPIN{keys::hashedPIN, ""};
inline constexpr BoundKey<bool> showSignalStrengthInMenuBar{keys::showSignalStrengthInMenuBar,
                                                            false};
inline constexpr BoundKey<bool> showDeadBandOnGraph{keys::showDeadBandOnGraph, false};
inline constexpr BoundKey<bool> isAdvancedEnabled{keys::isAdvancedEnabled, true};
inline constexpr BoundKey<bool> deviceListCollapsed{keys::deviceListCollapsed, false};
inline constexpr BoundKey<double> expandedDeviceListHeight{keys::expandedDeviceListHeight, 0.0};
}  // namespace bound

// One row of the key table.
struct SettingKeySpec {
    std::string_view name;
    SettingType type;
    // What a bound reader shows while the key was never written; nothing when no bound reader
    // exists or the key is simply absent.
    std::optional<SettingValue> boundDefault;
    // What direct readers make of a never-written key, in words (for help and listings).
    std::string_view directRead;
    std::string_view meaning;
};

// Every key the program stores, in a stable order.
const std::vector<SettingKeySpec>& settingKeyTable();
const SettingKeySpec* findSettingKey(std::string_view name);

}  // namespace ambleguard
