#include "presence/NotificationPermissionFlow.h"

#include "settings/SettingsKeys.h"

#include <string>
#include <utility>

namespace ambleguard {

namespace {

constexpr std::uint32_t kAskOptions =
    notificationOptions::badge | notificationOptions::sound | notificationOptions::alert;
constexpr std::uint32_t kQuietOptions = kAskOptions | notificationOptions::provisional;

}  // namespace

NotificationPermissionFlow::NotificationPermissionFlow(NotificationPermission& permission,
                                                       NotificationSettingsLink& settingsLink,
                                                       Alerts& alerts, SettingsStore& settings,
                                                       MainQueue& mainQueue, LogSink& logSink)
    : permission_(permission),
      settingsLink_(settingsLink),
      alerts_(alerts),
      settings_(settings),
      mainQueue_(mainQueue),
      log_(logSink, "BT") {}

void NotificationPermissionFlow::onRequestNotificationPermission() {
    auto handle = liveness_.guarded([this](NotificationAuthorization s) { handleStatus(s); });
    permission_.getAuthorization([&queue = mainQueue_, handle](NotificationAuthorization status) {
        queue.post([handle, status]() mutable { handle(status); });
    });
}

void NotificationPermissionFlow::handleStatus(NotificationAuthorization status) {
    switch (status) {
        case NotificationAuthorization::denied:
            store(false);
            showPermissionAlert();
            return;
        case NotificationAuthorization::authorized:
        case NotificationAuthorization::provisional:
            store(true);
            return;
        case NotificationAuthorization::notDetermined:
        case NotificationAuthorization::ephemeral:
            request(kAskOptions, false);
            return;
    }
}

void NotificationPermissionFlow::request(std::uint32_t options, bool lastTry) {
    auto answered = liveness_.guarded([this, lastTry](bool granted) {
        if (granted) {
            store(true);
        } else if (!lastTry) {
            // A no to interrupting notifications may still be a yes to quiet ones.
            request(kQuietOptions, true);
        } else {
            store(false);
            showPermissionAlert();
        }
    });
    permission_.requestAuthorization(options, [&queue = mainQueue_, answered](bool granted) {
        queue.post([answered, granted]() mutable { answered(granted); });
    });
}

void NotificationPermissionFlow::store(bool allowed) {
    // The panel's switch is bound to this key, so it follows.
    settings_.setBool(keys::notificationsAllowed, allowed);
}

void NotificationPermissionFlow::showPermissionAlert() {
    AlertRequest alert;
    alert.style = AlertStyle::warning;
    const auto advice = permission_.refusalAdvice();
    alert.title = advice ? advice->title : std::string(kAlertTitle);
    alert.message = advice ? advice->message : std::string(kAlertMessage);
    // A desktop without a notification settings page gets no button that leads nowhere, and
    // neither does a refusal that no settings page can lift.
    const bool canOpen = !advice && settingsLink_.isAvailable();
    if (canOpen) {
        alert.buttons.emplace_back(kOpenSettingsButton);
    }
    alert.buttons.emplace_back(kLaterButton);
    alerts_.show(std::move(alert), liveness_.guarded([this, canOpen](std::size_t button) {
        if (canOpen && button == 0) {
            onOpenNotificationSettings();
        }
    }));
}

void NotificationPermissionFlow::onOpenNotificationSettings() {
    if (!settingsLink_.open()) {
        log_.error("Could not open the notification settings");
    }
}

}  // namespace ambleguard
