#include "ProgramAtDesk.h"

#include <gtest/gtest.h>

namespace ambleguard::linuxdesktop {
namespace {

using test::TestBuses;

// The real program against mock BlueZ and logind, in real time: the tracked phone advertises
// strongly, then weakly, and the program asks logind to lock the session; the phone comes back;
// SIGTERM ends the program cleanly, its discovery stopped.
TEST(EndToEnd, WalkingAwayWithThePhoneLocksTheSession) {
    TestBuses buses;
    ProgramAtDesk desk(buses);
    ASSERT_TRUE(desk.mocksStarted());
    const auto problem = desk.configure();
    ASSERT_FALSE(problem) << *problem;
    ASSERT_TRUE(desk.start());
    ASSERT_TRUE(desk.discoveryStartedAndPhoneSeen()) << desk.log();
    const auto locked = [&] { return desk.lockRequested(); };

    // At the desk: strong readings, no lock.
    EXPECT_FALSE(desk.advertise(-50, std::chrono::seconds(4), locked)) << desk.log();
    // Walking away: weak readings until the session is locked.
    ASSERT_TRUE(desk.advertise(-95, std::chrono::seconds(45), locked)) << desk.log();
    EXPECT_EQ(desk.session.callsOf("Lock").size(), 1u);

    // Back at the desk: it keeps running and does not lock again.
    desk.advertise(-50, std::chrono::seconds(3), [] { return false; });
    EXPECT_EQ(desk.session.callsOf("Lock").size(), 1u);
    EXPECT_EQ(desk.program.state(), QProcess::Running) << desk.log();

    desk.adapter.clearCalls();
    desk.program.terminate();
    ASSERT_TRUE(desk.program.waitForFinished(10000)) << desk.log();
    EXPECT_EQ(desk.program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(desk.program.exitCode(), 0) << desk.log();
    EXPECT_EQ(desk.adapter.callsOf("StopDiscovery").size(), 1u) << desk.log();
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
