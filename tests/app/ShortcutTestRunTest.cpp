#include "app/ShortcutTestRun.h"

#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimProcessLauncher.h"

#include <gtest/gtest.h>

#include <optional>

namespace ambleguard {
namespace {

class ShortcutTestRunTest : public ::testing::Test {
  protected:
    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::RecordingLogSink log;
    sim::SimProcessLauncher launcher{loop};
    ShortcutsToolCommands commands{"/usr/bin/shortcuts"};
    ShortcutRunner runner{commands, launcher, loop, log};
    std::optional<ShortcutTestRun> test{std::in_place, runner};
};

TEST_F(ShortcutTestRunTest, ShowsRunningThenTheOutcome) {
    launcher.setScript("Lights off", {ProcessExit{0, "", ""}, 2.0});
    launcher.setScript("Broken", {ProcessExit{1, "", "no such shortcut"}, 1.0});
    EXPECT_EQ(test->state().get(), ShortcutTestState::idle);
    test->start("  Lights off\n");
    EXPECT_EQ(test->state().get(), ShortcutTestState::running);
    loop.advanceBy(1.999);
    EXPECT_EQ(test->state().get(), ShortcutTestState::running);
    loop.advanceBy(0.001);
    EXPECT_EQ(test->state().get(), ShortcutTestState::success);
    EXPECT_EQ(launcher.lastArguments(), (std::vector<std::string>{"Lights off"}));

    test->start("Broken");
    loop.advanceBy(1.0);
    EXPECT_EQ(test->state().get(), ShortcutTestState::failure);
    EXPECT_EQ(ShortcutTestRun::statusText(ShortcutTestState::success), "Ran successfully");
    EXPECT_EQ(ShortcutTestRun::statusText(ShortcutTestState::failure), "Failed");
}

// The first run ends after the second press: its success must not replace the second run's
// state, and the second run's failure is what stays.
TEST_F(ShortcutTestRunTest, ANewerPressWins) {
    launcher.setScript("Slow", {ProcessExit{0, "", ""}, 5.0});
    launcher.setScript("Quick fail", {ProcessExit{2, "", ""}, 8.0});
    std::vector<ShortcutTestState> shown;
    const Connection watching =
        test->state().observe([&](ShortcutTestState s) { shown.push_back(s); });
    test->start("Slow");
    loop.advanceBy(1.0);
    test->start("Quick fail");
    EXPECT_EQ(test->generation(), 2U);
    loop.advanceBy(4.0);  // the first run ends now
    EXPECT_EQ(test->state().get(), ShortcutTestState::running);
    loop.advanceBy(5.0);
    EXPECT_EQ(test->state().get(), ShortcutTestState::failure);
    EXPECT_EQ(shown, (std::vector<ShortcutTestState>{ShortcutTestState::running,
                                                     ShortcutTestState::failure}));
}

// An empty name fails without starting anything; a run that ends after the panel is gone is
// dropped without touching it.
TEST_F(ShortcutTestRunTest, BlankNamesFailAndLateResultsAfterClosingAreDropped) {
    test->start("   ");
    loop.runDue();
    EXPECT_EQ(test->state().get(), ShortcutTestState::failure);
    EXPECT_TRUE(launcher.runs().empty());

    launcher.setScript("Slow", {ProcessExit{0, "", ""}, 3.0});
    test->start("Slow");
    test.reset();
    loop.advanceBy(3.0);
    EXPECT_EQ(launcher.runs().size(), 1U);
}

}  // namespace
}  // namespace ambleguard
