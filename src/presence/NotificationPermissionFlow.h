#pragma once

#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "platform/Alerts.h"
#include "platform/NotificationPermission.h"
#include "platform/NotificationSettingsLink.h"
#include "settings/SettingsStore.h"

#include <string_view>

namespace ambleguard {

// What the settings panel runs when the user turns out-of-range notifications on: find out
// whether the system allows them, ask if it has not been decided, ask once more for quiet
// delivery if the user said no, and store the outcome in `notificationsAllowed`. A final no
// explains where to allow notifications, with a way to the desktop's settings page when it has
// one. Main queue only; every system answer hops back to it.
class NotificationPermissionFlow {
  public:
    static constexpr std::string_view kAlertTitle = "Notifications Permission Required";
    static constexpr std::string_view kAlertMessage =
        "Ambleguard needs notification permissions to alert you when your device goes out of "
        "range.\n\nTo enable notifications:\n1. Open System Settings\n2. Go to Notifications\n"
        "3. Find Ambleguard in the list\n4. Toggle \"Allow Notifications\" ON\n\nAfter enabling "
        "notifications, please try again.";
    static constexpr std::string_view kOpenSettingsButton = "Open System Settings";
    static constexpr std::string_view kLaterButton = "I'll Set This Later";

    NotificationPermissionFlow(NotificationPermission& permission,
                               NotificationSettingsLink& settingsLink, Alerts& alerts,
                               SettingsStore& settings, MainQueue& mainQueue, LogSink& logSink);
    NotificationPermissionFlow(const NotificationPermissionFlow&) = delete;
    NotificationPermissionFlow& operator=(const NotificationPermissionFlow&) = delete;

    // The user turned the notification switch on.
    void onRequestNotificationPermission();
    // The permission alert's first button, and any other way to the settings page.
    void onOpenNotificationSettings();

  private:
    void handleStatus(NotificationAuthorization status);
    void request(std::uint32_t options, bool lastTry);
    void store(bool allowed);
    void showPermissionAlert();

    NotificationPermission& permission_;
    NotificationSettingsLink& settingsLink_;
    Alerts& alerts_;
    SettingsStore& settings_;
    MainQueue& mainQueue_;
    Logger log_;
    LivenessToken liveness_;
};

}  // namespace ambleguard
