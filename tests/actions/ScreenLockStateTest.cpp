#include "actions/ScreenLockState.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimScreenSession.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ambleguard {
namespace {

class ScreenLockStateTest : public ::testing::Test {
  protected:
    std::unique_ptr<ScreenLockState> makeState() {
        return std::make_unique<ScreenLockState>(session, store, clock, log, console);
    }

    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::MemorySettings persistence;
    sim::RecordingLogSink log;
    sim::RecordingConsole console;
    SettingsStore store{persistence, log};
    sim::SimScreenSession session{loop, clock};
};

TEST_F(ScreenLockStateTest, StartingWhileLockedSeedsFromTheSessionAndSkipsTheDirectLock) {
    session.userLocksScreen();
    loop.runDue();
    auto state = makeState();
    EXPECT_TRUE(state->isLocked());

    state->lockScreenDirectly();
    EXPECT_TRUE(log.contains("Direct lock skipped - screen is already locked"));
    EXPECT_FALSE(store.dateForKey(keys::lastDirectLockTime));
    EXPECT_EQ(session.count("direct lock requested"), 0u);
}

TEST_F(ScreenLockStateTest, SessionThatCannotTellCountsAsUnlockedUntilTheNextNotice) {
    session.userLocksScreen();
    loop.runDue();
    session.setLockStateReadable(false);
    auto state = makeState();
    EXPECT_FALSE(state->isLocked());

    session.userUnlocksScreen();
    session.userLocksScreen();
    loop.runDue();
    EXPECT_TRUE(state->isLocked());
}

TEST_F(ScreenLockStateTest, DirectLockRecordsItsTimeButOnlyTheLockNoticeSetsIsLocked) {
    auto state = makeState();
    const Instant requested = clock.now();
    state->lockScreenDirectly();

    EXPECT_EQ(store.dateForKey(keys::lastDirectLockTime), requested);
    EXPECT_TRUE(log.contains("Direct lock: calling SACLockScreenImmediate"));
    EXPECT_FALSE(state->isLocked());

    // The simulated lock screen needs 0.3 s to come up; the notice follows on the main queue.
    loop.advanceBy(0.299);
    EXPECT_FALSE(state->isLocked());
    loop.advanceBy(0.001);
    EXPECT_TRUE(state->isLocked());

    session.userUnlocksScreen();
    EXPECT_TRUE(state->isLocked()) << "the unlock notice has not been delivered yet";
    loop.runDue();
    EXPECT_FALSE(state->isLocked());
}

TEST_F(ScreenLockStateTest, FollowsEveryLockAndUnlockNoticeAlongsideOtherObservers) {
    auto state = makeState();
    std::vector<bool> scannerSaw;
    auto lockedSeen = session.observe(ScreenNotice::locked, [&] { scannerSaw.push_back(true); });
    auto unlockedSeen =
        session.observe(ScreenNotice::unlocked, [&] { scannerSaw.push_back(false); });

    session.userLocksScreen();
    loop.runDue();
    EXPECT_TRUE(state->isLocked());
    session.userUnlocksScreen();
    loop.runDue();
    EXPECT_FALSE(state->isLocked());
    EXPECT_EQ(scannerSaw, (std::vector<bool>{true, false}));
}

TEST_F(ScreenLockStateTest, NoticeArrivingAfterTheStateIsGoneIsHarmless) {
    auto state = makeState();
    session.userLocksScreen();
    state.reset();
    loop.runDue();  // would write into freed memory if the observer outlived its owner
    EXPECT_TRUE(session.screenLocked());
}

TEST_F(ScreenLockStateTest, MissingDirectLockIsReportedAndCoversTheScreenWithTheScreenSaver) {
    session.setDirectLockAvailable(false);
    auto state = makeState();
    std::vector<std::string> reported;
    auto failures =
        state->onDirectLockFailed([&](const std::string& reason) { reported.push_back(reason); });

    state->lockScreenDirectly();

    EXPECT_EQ(reported.size(), 1u);
    EXPECT_TRUE(log.containsFragment("Direct lock failed: "));
    EXPECT_EQ(log.entries().back().level, LogLevel::error);
    EXPECT_TRUE(store.dateForKey(keys::lastDirectLockTime));
    EXPECT_EQ(session.count("screen saver started"), 1u);
}

TEST_F(ScreenLockStateTest, ScreenSaverStartsThroughTheEntryPointWithoutAnyOutput) {
    auto state = makeState();
    state->startScreenSaver();
    EXPECT_TRUE(session.screenSaverRunning());
    EXPECT_EQ(session.count("screen saver application launched"), 0u);
    EXPECT_TRUE(console.lines().empty());
}

TEST_F(ScreenLockStateTest, ScreenSaverWhileLockedOnlyWritesTheSkipText) {
    session.userLocksScreen();
    loop.runDue();
    auto state = makeState();
    const auto actionsBefore = session.actions().size();

    state->startScreenSaver();

    EXPECT_EQ(console.lines(),
              std::vector<std::string>{"Screensaver skipped - screen is already locked"});
    EXPECT_EQ(session.actions().size(), actionsBefore);
}

TEST_F(ScreenLockStateTest, ScreenSaverFallsBackToTheApplication) {
    struct Case {
        std::optional<std::int32_t> status;
        std::string expectedText;
    };
    const std::vector<Case> cases = {
        {1001, "Failed to start screensaver with error: 1001"},
        {-1, "Failed to start screensaver with error: -1"},
        {std::nullopt, "CGSStartScreenSaver symbol not found, using fallback"},
    };
    for (const auto& c : cases) {
        sim::SimScreenSession freshSession{loop, clock};
        sim::RecordingConsole freshConsole;
        freshSession.setScreenSaverStatus(c.status);
        ScreenLockState state(freshSession, store, clock, log, freshConsole);

        state.startScreenSaver();

        EXPECT_EQ(freshConsole.lines(), std::vector<std::string>{c.expectedText});
        EXPECT_EQ(freshSession.count("screen saver application launched"), 1u) << c.expectedText;
        EXPECT_TRUE(freshSession.screenSaverRunning());
    }
}

TEST_F(ScreenLockStateTest, FailedFallbackLaunchIsReportedAndNothingElseHappens) {
    session.setScreenSaverStatus(std::nullopt);
    session.setScreenSaverLaunchError("The application cannot be found.");
    auto state = makeState();

    state->startScreenSaver();

    EXPECT_EQ(console.lines(),
              (std::vector<std::string>{"CGSStartScreenSaver symbol not found, using fallback",
                                        "Error launching screensaver: The application cannot be "
                                        "found."}));
    EXPECT_FALSE(session.screenSaverRunning());
    EXPECT_FALSE(state->isLocked());
}

TEST_F(ScreenLockStateTest, ScreenSaverThatAsksForThePasswordLocksThroughTheNotice) {
    session.setScreenSaverLocksAfter(5.0);
    auto state = makeState();
    state->startScreenSaver();
    loop.advanceBy(4.999);
    EXPECT_FALSE(state->isLocked());
    loop.advanceBy(0.001);
    EXPECT_TRUE(state->isLocked());
}

}  // namespace
}  // namespace ambleguard
