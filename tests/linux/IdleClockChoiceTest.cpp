#include "platform/linux/IdleClockChoice.h"

#include "platform/linux/XssIdleClock.h"
#include "platform/sim/RecordingLogSink.h"
#include "support/linux/TestBuses.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace ambleguard::linuxdesktop {
namespace {

using test::MockService;
using test::TestBus;
using test::TestBuses;

MockService mutter(int idleMs) {
    return {AMBLEGUARD_TEST_TEMPLATES "/mutter_idle_monitor.py",
            "org.gnome.Mutter.IdleMonitor",
            {},
            {},
            TestBus::session,
            "{\"idle_ms\": " + std::to_string(idleMs) + "}"};
}

MockService freedesktop(const std::string& parameters) {
    return {AMBLEGUARD_TEST_TEMPLATES "/freedesktop_screensaver.py",
            "org.freedesktop.ScreenSaver",
            {},
            {},
            TestBus::session,
            parameters};
}

class IdleClockChoiceTest : public ::testing::Test {
  protected:
    std::unique_ptr<IdleClock> choose() {
        return chooseIdleClock(buses.connect(TestBus::session), std::nullopt, log);
    }
    TestBuses buses;
    sim::RecordingLogSink log;
};

TEST_F(IdleClockChoiceTest, GnomeIdleMonitorComesFirst) {
    ASSERT_TRUE(buses.startMock(mutter(2500)));
    ASSERT_TRUE(buses.startMock(freedesktop("{\"idle_ms\": 9000}")));
    auto clock = choose();
    EXPECT_EQ(clock->secondsSinceLastInput(), 2.5);
}

TEST_F(IdleClockChoiceTest, KdeSessionIdleTimeWhenNoIdleMonitor) {
    ASSERT_TRUE(buses.startMock(freedesktop("{\"idle_ms\": 3200}")));
    auto clock = choose();
    EXPECT_EQ(clock->secondsSinceLastInput(), 3.2);
    // The service leaving later makes the time unknown, not stale.
    buses.stopMock("org.freedesktop.ScreenSaver");
    EXPECT_EQ(clock->secondsSinceLastInput(), std::nullopt);
}

// GNOME's own org.freedesktop.ScreenSaver owns the name but does not implement the idle time.
TEST_F(IdleClockChoiceTest, ANameWithoutTheMethodCountsAsNoSourceAndIsLoggedOnce) {
    ASSERT_TRUE(buses.startMock(freedesktop("{\"idle_error\": true}")));
    auto clock = choose();
    EXPECT_EQ(clock->secondsSinceLastInput(), std::nullopt);
    EXPECT_EQ(clock->secondsSinceLastInput(), std::nullopt);
    EXPECT_EQ(log.count("No idle-time source answered; idle time is unknown"), 1u);
}

// The X screen-saver extension on a private Xvfb server.
TEST(XssIdleClockTest, ReadsTheServersIdleTime) {
    if (::access("/usr/bin/Xvfb", X_OK) != 0) {
        GTEST_SKIP() << "Xvfb is not installed";
    }
    const std::string display = ":" + std::to_string(90 + ::getpid() % 500);
    std::vector<std::string> args = {"/usr/bin/Xvfb", display, "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t server = -1;
    ASSERT_EQ(::posix_spawn(&server, argv[0], nullptr, nullptr, argv.data(), environ), 0);

    std::unique_ptr<XssIdleClock> clock;
    for (int attempt = 0; attempt < 100 && !clock; ++attempt) {
        clock = XssIdleClock::open(display);
        if (!clock) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));  // server start-up
        }
    }
    ASSERT_TRUE(clock != nullptr);
    const auto idle = clock->secondsSinceLastInput();
    ASSERT_TRUE(idle.has_value());
    EXPECT_GE(*idle, 0.0);
    EXPECT_LT(*idle, 120.0);
    clock.reset();
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);

    EXPECT_EQ(XssIdleClock::open(display), nullptr);  // no server, no clock
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
