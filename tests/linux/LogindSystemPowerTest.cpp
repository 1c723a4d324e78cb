#include "platform/linux/LogindSystemPower.h"

#include "platform/linux/QtMainQueue.h"
#include "platform/sim/RecordingLogSink.h"
#include "support/linux/TestBuses.h"

#include <QDBusArgument>

#include <gtest/gtest.h>

namespace ambleguard::linuxdesktop {
namespace {

using test::TestBus;
using test::TestBuses;
using test::waitUntil;

class LogindSystemPowerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(buses.startTemplate("logind")); }

    // How many inhibitors logind holds for us right now.
    int inhibitors() const {
        const auto reply = manager().callOk("org.freedesktop.login1.Manager", "ListInhibitors");
        const auto argument = reply.arguments().value(0).value<QDBusArgument>();
        int count = 0;
        argument.beginArray();
        while (!argument.atEnd()) {
            QString what, who, why, mode;
            uint uid = 0, pid = 0;
            argument.beginStructure();
            argument >> what >> who >> why >> mode >> uid >> pid;
            argument.endStructure();
            EXPECT_EQ(what, "sleep");
            EXPECT_EQ(mode, "delay");
            ++count;
        }
        argument.endArray();
        return count;
    }
    test::MockObject manager() const {
        return buses.mock(TestBus::system, "org.freedesktop.login1", "/org/freedesktop/login1");
    }
    void prepareForSleep(bool sleeping) const {
        manager().emitSignal("org.freedesktop.login1.Manager", "PrepareForSleep", "b", {sleeping});
    }

    TestBuses buses;
    QtMainQueue mainQueue;
    sim::RecordingLogSink log;
};

// The delay inhibitor is held while awake and let go only after the sleep work, including what
// the observers posted, has run; it is taken again on wake.
TEST_F(LogindSystemPowerTest, SleepWaitsForTheWillSleepWorkAndWakeRearms) {
    LogindSystemPower power(buses.connect(TestBus::system), buses.connect(TestBus::session),
                            mainQueue, log);
    EXPECT_TRUE(power.holdsSleepDelay());
    ASSERT_TRUE(waitUntil([&] { return inhibitors() == 1; }));

    std::vector<std::string> events;
    bool delayHeldDuringPostedWork = false;
    auto willSleep = power.observe(PowerNotice::willSleep, [&] {
        events.push_back("willSleep");
        mainQueue.post([&] {
            delayHeldDuringPostedWork = power.holdsSleepDelay();
            events.push_back("screen locked");
        });
    });
    auto didWake = power.observe(PowerNotice::didWake, [&] { events.push_back("didWake"); });

    prepareForSleep(true);
    ASSERT_TRUE(waitUntil([&] { return !power.holdsSleepDelay(); }));
    EXPECT_TRUE(delayHeldDuringPostedWork);
    EXPECT_TRUE(waitUntil([&] { return inhibitors() == 0; }));

    prepareForSleep(false);
    ASSERT_TRUE(waitUntil([&] { return events.size() == 3; }));
    EXPECT_EQ(events, (std::vector<std::string>{"willSleep", "screen locked", "didWake"}));
    EXPECT_TRUE(power.holdsSleepDelay());
    EXPECT_TRUE(waitUntil([&] { return inhibitors() == 1; }));
}

TEST_F(LogindSystemPowerTest, ScreensWakeWhenTheScreenSaverEnds) {
    ASSERT_TRUE(buses.startTemplate("gnome_screensaver"));
    LogindSystemPower power(buses.connect(TestBus::system), buses.connect(TestBus::session),
                            mainQueue, log);
    int wakes = 0;
    auto observer = power.observe(PowerNotice::screensDidWake, [&] { ++wakes; });
    const auto saver =
        buses.mock(TestBus::session, "org.gnome.ScreenSaver", "/org/gnome/ScreenSaver");
    saver.callOk("org.gnome.ScreenSaver", "SetActive", {true});
    saver.callOk("org.gnome.ScreenSaver", "SetActive", {false});
    ASSERT_TRUE(waitUntil([&] { return wakes >= 1; }));
    test::processEventsFor(std::chrono::milliseconds(100));
    EXPECT_EQ(wakes, 1);  // the saver starting is no wake
}

// GNOME's displays powering up again: a wake. Going into power saving is none, and the screen
// saver ending just after is the same wake, told once.
TEST_F(LogindSystemPowerTest, ScreensWakeWhenGnomesDisplaysPowerUp) {
    ASSERT_TRUE(
        buses.startMock({"", "org.gnome.Mutter.DisplayConfig", "/org/gnome/Mutter/DisplayConfig",
                         "org.gnome.Mutter.DisplayConfig", TestBus::session, ""}));
    ASSERT_TRUE(buses.startTemplate("gnome_screensaver"));
    const auto display = buses.mock(TestBus::session, "org.gnome.Mutter.DisplayConfig",
                                    "/org/gnome/Mutter/DisplayConfig");
    display.addProperty("org.gnome.Mutter.DisplayConfig", "PowerSaveMode", 0);
    LogindSystemPower power(buses.connect(TestBus::system), buses.connect(TestBus::session),
                            mainQueue, log);
    int wakes = 0;
    auto observer = power.observe(PowerNotice::screensDidWake, [&] { ++wakes; });

    display.updateProperties("org.gnome.Mutter.DisplayConfig", {{"PowerSaveMode", 3}});
    test::processEventsFor(std::chrono::milliseconds(200));
    EXPECT_EQ(wakes, 0);
    display.updateProperties("org.gnome.Mutter.DisplayConfig", {{"PowerSaveMode", 0}});
    ASSERT_TRUE(waitUntil([&] { return wakes >= 1; }));
    const auto saver =
        buses.mock(TestBus::session, "org.gnome.ScreenSaver", "/org/gnome/ScreenSaver");
    saver.callOk("org.gnome.ScreenSaver", "SetActive", {true});
    saver.callOk("org.gnome.ScreenSaver", "SetActive", {false});
    test::processEventsFor(std::chrono::milliseconds(200));
    EXPECT_EQ(wakes, 1);
}

TEST_F(LogindSystemPowerTest, WithoutADelayTheFailureIsLoggedOnce) {
    manager().addMethod("org.freedesktop.login1.Manager", "Inhibit", "ssss", "h",
                        "raise dbus.exceptions.DBusException('no', "
                        "name='org.freedesktop.DBus.Error.AccessDenied')");
    LogindSystemPower power(buses.connect(TestBus::system), buses.connect(TestBus::session),
                            mainQueue, log);
    int sleeps = 0;
    auto observer = power.observe(PowerNotice::willSleep, [&] { ++sleeps; });
    prepareForSleep(true);
    prepareForSleep(false);
    ASSERT_TRUE(waitUntil([&] { return sleeps == 1; }));
    test::processEventsFor(std::chrono::milliseconds(100));
    EXPECT_FALSE(power.holdsSleepDelay());
    EXPECT_EQ(log.entries().size(), 1u) << ::testing::PrintToString(log.texts());
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
