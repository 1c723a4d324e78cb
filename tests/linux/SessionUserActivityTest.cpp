#include "platform/linux/SessionUserActivity.h"

#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimIdleClock.h"
#include "support/linux/TestBuses.h"
#include "unlock/DisplayWakeSource.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace ambleguard::linuxdesktop {
namespace {

using test::MockService;
using test::TestBus;
using test::TestBuses;

class SessionUserActivityTest : public ::testing::Test {
  protected:
    void startLogindWithInhibitors() {
        ASSERT_TRUE(buses.startTemplate("logind"));
        const auto uid = std::to_string(::getuid());
        const auto other = std::to_string(::getuid() + 1);
        buses.mock(TestBus::system, "org.freedesktop.login1", "/org/freedesktop/login1")
            .addMethod(
                "org.freedesktop.login1.Manager", "ListInhibitors", "", "a(ssssuu)",
                QString::fromStdString("ret = [('idle:sleep', 'Videos', 'Playing a film', 'block', "
                                       "dbus.UInt32(" +
                                       uid +
                                       "), dbus.UInt32(4242)), "
                                       "('sleep', 'Updater', 'Installing', 'delay', dbus.UInt32(" +
                                       uid +
                                       "), dbus.UInt32(1)), "
                                       "('idle', 'Someone else', 'Theirs', 'block', dbus.UInt32(" +
                                       other + "), dbus.UInt32(2))]"));
    }
    bool startScreenSaver() {
        return buses.startMock({AMBLEGUARD_TEST_TEMPLATES "/freedesktop_screensaver.py",
                                "org.freedesktop.ScreenSaver",
                                {},
                                {},
                                TestBus::session,
                                {}});
    }
    SessionUserActivity make() {
        return {buses.connect(TestBus::system), buses.connect(TestBus::session), idle, clock, log};
    }

    TestBuses buses;
    sim::SimClock clock;
    sim::SimIdleClock idle{clock};
    sim::RecordingLogSink log;
};

TEST_F(SessionUserActivityTest, InputAndTheUsersOwnIdleInhibitorsBecomeRecords) {
    startLogindWithInhibitors();
    idle.setIdleFor(4.0);
    auto activity = make();
    const auto read = activity.currentRecords();
    ASSERT_EQ(read.status, 0);
    ASSERT_EQ(read.records.size(), 2u);

    const auto input = classify(read.records[0]);
    ASSERT_TRUE(std::holds_alternative<HumanInput>(input)) << describe(input);
    EXPECT_EQ(read.records[0].updated, addSeconds(clock.now(), -4.0));

    const auto declared = classify(read.records[1]);
    ASSERT_TRUE(std::holds_alternative<DeclaredActivity>(declared));
    EXPECT_EQ(std::get<DeclaredActivity>(declared).process, "Videos");
    EXPECT_EQ(std::get<DeclaredActivity>(declared).name, "Playing a film");
    EXPECT_EQ(read.records[1].pid, 4242);
}

// The idle time cannot say who reset it: a reset right after our own declaration is ours.
TEST_F(SessionUserActivityTest, OwnDeclarationWakesTheDisplaysAndIsNotMistakenForAPerson) {
    ASSERT_TRUE(startScreenSaver());
    auto activity = make();
    EXPECT_EQ(activity.declareUserActivity("Ambleguard unlock"), 0);
    idle.userInput();
    auto read = activity.currentRecords();
    ASSERT_EQ(read.records.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<SyntheticInput>(classify(read.records[0])));

    clock.set(addSeconds(clock.now(), 10.0));
    idle.userInput();
    read = activity.currentRecords();
    ASSERT_EQ(read.records.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<HumanInput>(classify(read.records[0])));
}

TEST_F(SessionUserActivityTest, WithNoSourceAtAllBothSayWhy) {
    idle.setReadable(false);
    auto activity = make();
    EXPECT_NE(activity.currentRecords().status, 0);
    EXPECT_NE(activity.declareUserActivity("Ambleguard unlock"), 0);
    EXPECT_TRUE(log.containsFragment("Could not wake the displays"));
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
