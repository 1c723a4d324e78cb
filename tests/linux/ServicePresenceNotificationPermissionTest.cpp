#include "platform/linux/HeadlessPorts.h"

#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimNotificationPermission.h"
#include "platform/sim/SimShellPorts.h"
#include "presence/NotificationPermissionFlow.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

namespace ambleguard::linuxdesktop {
namespace {

// Turning notifications on, on a desktop with and without a notification service: there is no
// per-program switch to send the user to, so a refusal says what is really missing.
class ServicePresenceNotificationPermissionTest : public ::testing::Test {
  protected:
    void turnOn() {
        flow.onRequestNotificationPermission();
        loop.runDue();
    }

    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::RecordingLogSink log;
    sim::MemorySettings persistence;
    SettingsStore settings{persistence, log};
    bool serviceRuns = true;
    ServicePresenceNotificationPermission permission{loop, [this] { return serviceRuns; }};
    sim::SimNotificationSettingsLink settingsLink;
    sim::SimAlerts alerts;
    NotificationPermissionFlow flow{permission, settingsLink, alerts, settings, loop, log};
};

TEST_F(ServicePresenceNotificationPermissionTest, AServiceMeansAllowedWithoutAQuestion) {
    turnOn();
    EXPECT_TRUE(settings.boolForKey(keys::notificationsAllowed));
    EXPECT_TRUE(alerts.shown().empty());
}

TEST_F(ServicePresenceNotificationPermissionTest,
       NoServiceExplainsWhatIsMissingWithNoSettingsButton) {
    serviceRuns = false;
    settings.setBool(keys::notificationsAllowed, true);
    settingsLink.setAvailable(true);
    turnOn();
    EXPECT_FALSE(settings.boolForKey(keys::notificationsAllowed));
    ASSERT_EQ(alerts.shown().size(), 1u);
    const auto& alert = alerts.shown()[0];
    EXPECT_EQ(alert.title, "No Notification Service");
    EXPECT_NE(alert.message.find("none is running"), std::string::npos) << alert.message;
    EXPECT_EQ(alert.message.find("System Settings"), std::string::npos) << alert.message;
    // A settings page cannot start a service: the only answer is later.
    EXPECT_EQ(alert.buttons, std::vector<std::string>{"I'll Set This Later"});
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
