#include "settings/LaunchAtLogin.h"

#include <gtest/gtest.h>

#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimShellPorts.h"

namespace ambleguard {
namespace {

class LaunchAtLoginTest : public ::testing::Test {
  protected:
    sim::SimLoginItem item;
    sim::RecordingConsole console;
    sim::RecordingLogSink log;
    LaunchAtLogin launchAtLogin{item, console, log};
};

TEST_F(LaunchAtLoginTest, OnlyAnEnabledItemReadsAsOn) {
    using S = LoginItem::Status;
    for (auto status : {S::notRegistered, S::requiresApproval, S::notFound}) {
        item.setStatus(status);
        EXPECT_FALSE(launchAtLogin.isEnabled());
    }
    item.setStatus(S::enabled);
    EXPECT_TRUE(launchAtLogin.isEnabled());
}

TEST_F(LaunchAtLoginTest, EnablingAgainRefreshesTheItemAndEveryWriteIsAnnounced) {
    int announcements = 0;
    auto observer = launchAtLogin.onWillChange([&] { ++announcements; });

    launchAtLogin.setEnabled(true);
    EXPECT_EQ(item.unregistrations(), 0);
    launchAtLogin.setEnabled(true);
    EXPECT_EQ(item.unregistrations(), 1);
    EXPECT_EQ(item.registrations(), 2);
    EXPECT_TRUE(launchAtLogin.isEnabled());
    launchAtLogin.setEnabled(false);
    EXPECT_FALSE(launchAtLogin.isEnabled());
    EXPECT_EQ(announcements, 3);
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(LaunchAtLoginTest, TheMenuReportsTheRequestAndThenWhatTheSystemDid) {
    EXPECT_TRUE(launchAtLogin.toggleLaunchAtLogin());
    EXPECT_FALSE(launchAtLogin.toggleLaunchAtLogin());
    EXPECT_EQ(console.lines(), (std::vector<std::string>{
                                   "Launch at login toggled to true",
                                   "Launch at login toggled to true",
                                   "Launch at login toggled to false",
                                   "Launch at login toggled to false",
                               }));

    // Refused: the check mark shows the system's state, the log names the direction.
    console.clear();
    item.refuseWith("Operation not permitted");
    EXPECT_FALSE(launchAtLogin.toggleLaunchAtLogin());
    EXPECT_EQ(console.lines(), (std::vector<std::string>{"Launch at login toggled to true",
                                                         "Launch at login toggled to false"}));
    EXPECT_TRUE(log.contains("Failed to enable launch at login: Operation not permitted"));
}

}  // namespace
}  // namespace ambleguard
