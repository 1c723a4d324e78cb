#include "presence/NotificationPermissionFlow.h"

#include <gtest/gtest.h>

#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimNotificationPermission.h"
#include "platform/sim/SimShellPorts.h"
#include "settings/SettingsKeys.h"

namespace ambleguard {
namespace {

using Auth = NotificationAuthorization;
using Options = std::vector<std::uint32_t>;

class NotificationPermissionFlowTest : public ::testing::Test {
  protected:
    // The user turns the switch on; the system answers.
    void turnOn() {
        flow.onRequestNotificationPermission();
        loop.runDue();
    }
    bool allowed() const { return settings.boolForKey(keys::notificationsAllowed); }

    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::RecordingLogSink log;
    sim::MemorySettings persistence;
    SettingsStore settings{persistence, log};
    sim::SimNotificationPermission permission{loop};
    sim::SimNotificationSettingsLink settingsLink;
    sim::SimAlerts alerts;
    NotificationPermissionFlow flow{permission, settingsLink, alerts, settings, loop, log};
};

TEST_F(NotificationPermissionFlowTest, AllowedOrQuietlyAllowedNeedsNoQuestion) {
    for (auto status : {Auth::authorized, Auth::provisional}) {
        settings.setBool(keys::notificationsAllowed, false);
        permission.setStatus(status);
        turnOn();
        EXPECT_TRUE(allowed());
    }
    EXPECT_TRUE(permission.requested().empty());
    EXPECT_TRUE(alerts.shown().empty());
}

TEST_F(NotificationPermissionFlowTest, UndecidedAsksOnceAndAgainForQuietDelivery) {
    permission.userWillAnswer({true});
    turnOn();
    EXPECT_TRUE(allowed());
    EXPECT_EQ(permission.requested(), Options{7});

    // Ephemeral counts as undecided; a first no leads to the quiet request.
    permission.setStatus(Auth::ephemeral);
    settings.setBool(keys::notificationsAllowed, false);
    permission.userWillAnswer({false, true});
    turnOn();
    EXPECT_TRUE(allowed());
    EXPECT_EQ(permission.requested(), (Options{7, 7, 71}));
    EXPECT_TRUE(alerts.shown().empty());
}

TEST_F(NotificationPermissionFlowTest, TwoNosStoreOffAndExplainWhereToAllowNotifications) {
    settings.setBool(keys::notificationsAllowed, true);
    permission.userWillAnswer({false, false});
    alerts.answerWith(0);
    turnOn();
    EXPECT_FALSE(allowed());
    ASSERT_EQ(alerts.shown().size(), 1u);
    const auto& alert = alerts.shown()[0];
    EXPECT_EQ(alert.title, "Notifications Permission Required");
    EXPECT_EQ(alert.message,
              "Ambleguard needs notification permissions to alert you when your device goes out "
              "of range.\n\nTo enable notifications:\n1. Open System Settings\n2. Go to "
              "Notifications\n3. Find Ambleguard in the list\n4. Toggle \"Allow Notifications\" "
              "ON\n\nAfter enabling notifications, please try again.");
    EXPECT_EQ(alert.buttons,
              (std::vector<std::string>{"Open System Settings", "I'll Set This Later"}));
    EXPECT_EQ(settingsLink.opened(), 1);
}

TEST_F(NotificationPermissionFlowTest, DeniedNeverAsksAndOffersNoDeadEndButton) {
    permission.setStatus(Auth::denied);
    settings.setBool(keys::notificationsAllowed, true);
    settingsLink.setAvailable(false);
    turnOn();
    EXPECT_FALSE(allowed());
    EXPECT_TRUE(permission.requested().empty());
    ASSERT_EQ(alerts.shown().size(), 1u);
    EXPECT_EQ(alerts.shown()[0].buttons, std::vector<std::string>{"I'll Set This Later"});
    EXPECT_EQ(settingsLink.opened(), 0);

    flow.onOpenNotificationSettings();
    EXPECT_TRUE(log.contains("Could not open the notification settings"));
}

}  // namespace
}  // namespace ambleguard
