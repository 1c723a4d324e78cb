#include "platform/linux/FreedesktopNotifier.h"

#include "platform/sim/RecordingLogSink.h"
#include "support/linux/TestBuses.h"

#include <QDBusArgument>

#include <gtest/gtest.h>

namespace ambleguard::linuxdesktop {
namespace {

using test::TestBus;
using test::TestBuses;
using test::waitUntil;

class FreedesktopNotifierTest : public ::testing::Test {
  protected:
    // Delivers and waits for the completion: success, or the error it reported.
    Result<void> deliver(FreedesktopNotifier& notifier, NotificationRequest request) {
        std::optional<Result<void>> delivered;
        notifier.deliver(std::move(request),
                         [&](Result<void> outcome) { delivered.emplace(std::move(outcome)); });
        EXPECT_TRUE(waitUntil([&] { return delivered.has_value(); }));
        return delivered.value_or(failure("no completion"));
    }
    std::vector<QVariantList> notifyCalls() const {
        return buses
            .mock(TestBus::session, "org.freedesktop.Notifications",
                  "/org/freedesktop/Notifications")
            .callsOf("Notify");
    }

    TestBuses buses;
    sim::RecordingLogSink log;
};

TEST_F(FreedesktopNotifierTest, SameIdentifierReplacesAndHintsFollowTheRequest) {
    ASSERT_TRUE(buses.startTemplate("notification_daemon"));
    FreedesktopNotifier notifier(buses.connect(TestBus::session), log);
    EXPECT_TRUE(notifier.serviceAvailable());

    EXPECT_TRUE(deliver(notifier, {"hotspot-coexistence", "Hotspot", "first", true,
                                   InterruptionLevel::timeSensitive})
                    .ok());
    EXPECT_TRUE(
        deliver(notifier, {"left-1", "Phone left", "gone", false, InterruptionLevel::critical})
            .ok());
    EXPECT_TRUE(deliver(notifier, {"hotspot-coexistence", "Hotspot", "again", true,
                                   InterruptionLevel::passive})
                    .ok());

    const auto calls = notifyCalls();
    ASSERT_EQ(calls.size(), 3u);
    // app name, replaces id, icon, summary, body, actions, hints, timeout
    EXPECT_EQ(calls[0].value(1).toUInt(), 0u);
    EXPECT_EQ(calls[1].value(1).toUInt(), 0u);
    EXPECT_EQ(calls[2].value(1).toUInt(), 1u) << "replaces the first bubble, not the second";
    EXPECT_EQ(calls[2].value(4).toString(), "again");

    const auto hints = [&](std::size_t i) {
        return qdbus_cast<QVariantMap>(calls[i].value(6).value<QDBusArgument>());
    };
    EXPECT_EQ(hints(0).value("urgency").toInt(), 1);
    EXPECT_EQ(hints(0).value("desktop-entry").toString(), "ambleguard");
    EXPECT_FALSE(hints(0).contains("suppress-sound"));
    EXPECT_EQ(hints(1).value("urgency").toInt(), 2);
    EXPECT_EQ(hints(1).value("suppress-sound").toBool(), true);
    EXPECT_EQ(hints(2).value("urgency").toInt(), 0);
}

// A device's name is text from outside: it may neither reorder the line around it nor turn into
// markup on a server that reads markup, and a server without markup shows it as it is.
class FreedesktopNotifierTextTest : public FreedesktopNotifierTest,
                                    public ::testing::WithParamInterface<bool> {};

TEST_P(FreedesktopNotifierTextTest, NamesFromOutsideStayPlainText) {
    const bool markup = GetParam();
    ASSERT_TRUE(buses.startTemplate(
        "notification_daemon",
        markup ? R"({"capabilities": "body body-markup"})" : R"({"capabilities": "body"})"));
    FreedesktopNotifier notifier(buses.connect(TestBus::session), log);
    EXPECT_TRUE(deliver(notifier, {"left-1", "Tom & <Jerry>\u202e's Phone",
                                   "Tom & <b>Jerry</b>\u2066 is out of range.", true,
                                   InterruptionLevel::timeSensitive})
                    .ok());
    const auto calls = notifyCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].value(3).toString(), QString::fromUtf8("Tom & <Jerry>\uFFFD's Phone"));
    EXPECT_EQ(calls[0].value(4).toString(),
              markup
                  ? QString::fromUtf8("Tom &amp; &lt;b&gt;Jerry&lt;/b&gt;\uFFFD is out of range.")
                  : QString::fromUtf8("Tom & <b>Jerry</b>\uFFFD is out of range."));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutMarkup, FreedesktopNotifierTextTest, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "Markup" : "Plain"; });

TEST_F(FreedesktopNotifierTest, WithoutAServiceRequestsFailAndTheLogSaysItOnce) {
    FreedesktopNotifier notifier(buses.connect(TestBus::session), log);
    EXPECT_FALSE(notifier.serviceAvailable());
    EXPECT_FALSE(deliver(notifier, {"a", "t", "b", true, InterruptionLevel::active}).ok());
    EXPECT_FALSE(deliver(notifier, {"b", "t", "b", true, InterruptionLevel::active}).ok());
    EXPECT_EQ(log.entries().size(), 1u);
}

TEST_F(FreedesktopNotifierTest, AServerErrorReachesTheCompletion) {
    ASSERT_TRUE(buses.startTemplate("notification_daemon"));
    buses.mock(TestBus::session, "org.freedesktop.Notifications", "/org/freedesktop/Notifications")
        .addMethod("org.freedesktop.Notifications", "Notify", "susssasa{sv}i", "u",
                   "raise dbus.exceptions.DBusException('full', "
                   "name='org.freedesktop.Notifications.Error.ExcessNotificationGeneration')");
    FreedesktopNotifier notifier(buses.connect(TestBus::session), log);
    const auto delivered = deliver(notifier, {"a", "t", "b", true, InterruptionLevel::active});
    ASSERT_FALSE(delivered.ok());
    EXPECT_NE(delivered.error().find("ExcessNotificationGeneration"), std::string::npos)
        << delivered.error();
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
