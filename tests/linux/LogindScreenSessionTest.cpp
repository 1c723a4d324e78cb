#include "platform/linux/LogindScreenSession.h"

#include "actions/ScreenLockState.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "settings/SettingsStore.h"
#include "support/linux/TestBuses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace ambleguard::linuxdesktop {
namespace {

using test::MockObject;
using test::MockService;
using test::TestBus;
using test::TestBuses;
using test::waitUntil;

const QString kSessionInterface = QStringLiteral("org.freedesktop.login1.Session");

MockService freedesktopScreenSaver() {
    return {AMBLEGUARD_TEST_TEMPLATES "/freedesktop_screensaver.py",
            "org.freedesktop.ScreenSaver",
            {},
            {},
            TestBus::session,
            {}};
}

class LogindScreenSessionTest : public ::testing::Test {
  protected:
    void startLogind(bool locked = false) {
        ASSERT_TRUE(buses.startTemplate("logind"));
        buses.mock(TestBus::system, "org.freedesktop.login1", "/org/freedesktop/login1")
            .callOk("org.freedesktop.DBus.Mock", "AddSession",
                    {"auto", "seat0", QVariant::fromValue(quint32(1000)), "tester", true});
        if (locked) {
            session().updateProperties(kSessionInterface, {{"LockedHint", true}});
        }
    }
    MockObject session() const {
        return buses.mock(TestBus::system, "org.freedesktop.login1",
                          "/org/freedesktop/login1/session/auto");
    }
    std::unique_ptr<LogindScreenSession> make(LogindScreenSession::Options options = {}) {
        auto made = std::make_unique<LogindScreenSession>(buses.connect(TestBus::system),
                                                          buses.connect(TestBus::session), log,
                                                          std::move(options));
        for (auto notice : {ScreenNotice::locked, ScreenNotice::unlocked,
                            ScreenNotice::switchedAway, ScreenNotice::switchedBack}) {
            connections.push_back(
                made->observe(notice, [this, notice] { seen.push_back(notice); }));
        }
        return made;
    }

    TestBuses buses;
    sim::RecordingLogSink log;
    std::vector<ScreenNotice> seen;
    std::vector<Connection> connections;
};

TEST_F(LogindScreenSessionTest, FollowsLockedHintAndActiveWithOneNoticePerChange) {
    startLogind();
    auto screen = make();
    EXPECT_EQ(screen->sessionPath(), "/org/freedesktop/login1/session/auto");
    EXPECT_EQ(screen->screenIsLockedNow(), false);

    session().updateProperties(kSessionInterface, {{"LockedHint", true}});
    ASSERT_TRUE(waitUntil([&] { return seen.size() == 1; }));
    EXPECT_EQ(screen->screenIsLockedNow(), true);
    // A repeated value is no new lock; the next real change still arrives.
    session().updateProperties(kSessionInterface, {{"LockedHint", true}});
    session().updateProperties(kSessionInterface, {{"LockedHint", false}});
    ASSERT_TRUE(waitUntil([&] { return seen.size() >= 2; }));

    session().updateProperties(kSessionInterface, {{"Active", false}});
    session().updateProperties(kSessionInterface, {{"IdleHint", true}});
    session().updateProperties(kSessionInterface, {{"Active", true}});
    ASSERT_TRUE(waitUntil([&] { return seen.size() >= 4; }));
    test::processEventsFor(std::chrono::milliseconds(100));
    EXPECT_EQ(seen,
              (std::vector<ScreenNotice>{ScreenNotice::locked, ScreenNotice::unlocked,
                                         ScreenNotice::switchedAway, ScreenNotice::switchedBack}));
}

TEST_F(LogindScreenSessionTest, StartsLockedWithoutANotice) {
    startLogind(/*locked=*/true);
    auto screen = make();
    EXPECT_EQ(screen->screenIsLockedNow(), true);
    test::processEventsFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(seen.empty());
}

// The direct lock through the core's lock state: logind is asked, the log names the call, and
// the lock state follows only once the locker reports the screen locked.
TEST_F(LogindScreenSessionTest, DirectLockCallsSessionLockAndWaitsForTheLocker) {
    startLogind();
    session().addMethod(kSessionInterface, "Lock", "", "",
                        "self.UpdateProperties('org.freedesktop.login1.Session', "
                        "{'LockedHint': dbus.Boolean(True)})");
    auto screen = make();
    sim::SimClock clock;
    sim::MemorySettings persistence;
    SettingsStore store(persistence, log);
    sim::RecordingConsole console;
    ScreenLockState lockState(*screen, store, clock, log, console);

    lockState.lockScreenDirectly();
    EXPECT_TRUE(log.contains("Direct lock: calling org.freedesktop.login1.Session.Lock"));
    EXPECT_EQ(session().callsOf("Lock").size(), 1u);
    EXPECT_FALSE(lockState.isLocked());
    ASSERT_TRUE(waitUntil([&] { return lockState.isLocked(); }))
        << ::testing::PrintToString(log.texts()) << " seen " << seen.size() << " hint "
        << screen->screenIsLockedNow().value_or(false);
}

TEST_F(LogindScreenSessionTest, RefusedLockIsReportedSoTheCoreCanFallBack) {
    startLogind();
    session().addMethod(kSessionInterface, "Lock", "", "",
                        "raise dbus.exceptions.DBusException('not allowed', "
                        "name='org.freedesktop.DBus.Error.AccessDenied')");
    auto screen = make();
    const auto locked = screen->lockScreenImmediately();
    ASSERT_FALSE(locked.ok());
    EXPECT_NE(locked.error().find("AccessDenied"), std::string::npos) << locked.error();
}

// Auto-unlock on this platform: the session is asked to unlock itself, and the lock screen's
// answer (the hint going down) arrives as the unlocked notice the outcome watch waits for.
TEST_F(LogindScreenSessionTest, UnlockRequestReachesTheSessionAndTheLockerAnswers) {
    startLogind(true);
    session().addMethod(kSessionInterface, "Unlock", "", "",
                        "self.UpdateProperties('org.freedesktop.login1.Session', "
                        "{'LockedHint': dbus.Boolean(False)})");
    auto screen = make();
    EXPECT_EQ(screen->screenIsLockedNow(), true);
    EXPECT_TRUE(screen->requestUnlock().ok());
    EXPECT_EQ(session().callsOf("Unlock").size(), 1u);
    ASSERT_TRUE(waitUntil([&] { return screen->screenIsLockedNow() == false; }));
    ASSERT_TRUE(waitUntil(
        [&] { return std::find(seen.begin(), seen.end(), ScreenNotice::unlocked) != seen.end(); }));
}

TEST_F(LogindScreenSessionTest, RefusedOrImpossibleUnlockSaysWhy) {
    startLogind(true);
    session().addMethod(kSessionInterface, "Unlock", "", "",
                        "raise dbus.exceptions.DBusException('not allowed', "
                        "name='org.freedesktop.DBus.Error.AccessDenied')");
    auto screen = make();
    const auto refused = screen->requestUnlock();
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().find("Session.Unlock failed"), std::string::npos) << refused.error();
    EXPECT_NE(refused.error().find("AccessDenied"), std::string::npos) << refused.error();
}

TEST_F(LogindScreenSessionTest, WithoutLogindNothingIsKnownAndLockingSaysWhy) {
    auto screen = make();
    EXPECT_EQ(screen->screenIsLockedNow(), std::nullopt);
    const auto locked = screen->lockScreenImmediately();
    ASSERT_FALSE(locked.ok());
    EXPECT_NE(locked.error().find("logind"), std::string::npos) << locked.error();
    EXPECT_EQ(screen->startScreenSaver(), std::nullopt);  // no screen saver service either
    EXPECT_EQ(log.entries().size(), 1u) << ::testing::PrintToString(log.texts());
}

TEST_F(LogindScreenSessionTest, ScreenSaverPrefersGnomeAndFallsBackToFreedesktop) {
    startLogind();
    ASSERT_TRUE(buses.startMock(freedesktopScreenSaver()));
    auto screen = make();
    const auto freedesktop =
        buses.mock(TestBus::session, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver");
    EXPECT_EQ(screen->startScreenSaver(), 0);
    ASSERT_EQ(freedesktop.callsOf("SetActive").size(), 1u);
    EXPECT_EQ(freedesktop.callsOf("SetActive")[0].value(0).toBool(), true);

    ASSERT_TRUE(buses.startTemplate("gnome_screensaver"));
    freedesktop.clearCalls();
    EXPECT_EQ(screen->startScreenSaver(), 0);
    EXPECT_EQ(buses.mock(TestBus::session, "org.gnome.ScreenSaver", "/org/gnome/ScreenSaver")
                  .callsOf("SetActive")
                  .size(),
              1u);
    EXPECT_TRUE(freedesktop.callsOf("SetActive").empty());
}

TEST_F(LogindScreenSessionTest, ScreenSaverApplicationLaunchReportsAMissingProgram) {
    auto works = make({QStringLiteral("/bin/true"), {}});
    EXPECT_TRUE(works->launchScreenSaverApplication().ok());
    auto missing = make({QStringLiteral("/nonexistent/screensaver"), {}});
    const auto launched = missing->launchScreenSaverApplication();
    ASSERT_FALSE(launched.ok());
    EXPECT_NE(launched.error().find("/nonexistent/screensaver"), std::string::npos)
        << launched.error();
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
