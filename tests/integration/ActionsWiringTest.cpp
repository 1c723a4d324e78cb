#include <gtest/gtest.h>

#include "support/AppWorld.h"

#include <optional>
#include <string>
#include <vector>

namespace ambleguard {
namespace {

using test::AppWorld;

// A launched, onboarded program whose tracked device is at the desk, with sounds on and the
// activity gate off (the simulated user never touches the keyboard).
class ActionsWiringTest : public ::testing::Test {
  protected:
    void start(SettingValues settings = {}) {
        settings[std::string(keys::soundsEnabled)] = true;
        settings[std::string(keys::activityMonitorEnabled)] = false;
        world.emplace(AppWorld::onboarded(std::move(settings)));
        effects = world->app->scanner.pipeline().onEffect([this](const auto& effect) {
            if (std::holds_alternative<PresenceEngine::BecameGone>(effect)) {
                departedAt = world->platform.clock.now();
            } else if (std::holds_alternative<PresenceEngine::Returned>(effect)) {
                returnedAt = world->platform.clock.now();
            }
        });
        world->app->launch();
        world->readings(-50, 5.0);
        ASSERT_EQ(world->presence(), "Present");
    }

    // Weak readings until the engine decides the device has gone; returns that instant.
    Instant walkAway() {
        for (int i = 0; i < 120 && !departedAt; ++i) {
            world->readings(-90, 0.5);
        }
        EXPECT_TRUE(departedAt.has_value()) << "the device never left";
        return departedAt.value_or(world->platform.clock.now());
    }
    Instant comeBack() {
        for (int i = 0; i < 120 && !returnedAt; ++i) {
            world->readings(-45, 0.5);
        }
        EXPECT_TRUE(returnedAt.has_value()) << "the device never returned";
        return returnedAt.value_or(world->platform.clock.now());
    }

    std::vector<std::string> soundsPlayed() const {
        std::vector<std::string> paths;
        for (const auto& playback : world->platform.soundOutput.playbacks()) {
            paths.push_back(playback.path);
        }
        return paths;
    }
    std::size_t lockRequests() const {
        return world->platform.screenSession.count("direct lock requested");
    }
    void advanceTo(Instant at) { world->platform.loop.advanceTo(at); }

    std::optional<AppWorld> world;
    Connection effects;
    std::optional<Instant> departedAt;
    std::optional<Instant> returnedAt;
};

TEST_F(ActionsWiringTest, ADepartureOnAnUnlockedScreenPlaysTheLeaveSoundAndLocksThreeSecondsLater) {
    start();
    const Instant departed = walkAway();
    ASSERT_EQ(soundsPlayed().size(), 1u);
    EXPECT_NE(soundsPlayed()[0].find("leave"), std::string::npos) << soundsPlayed()[0];

    advanceTo(addSeconds(departed, 2.999));
    EXPECT_EQ(lockRequests(), 0u);
    advanceTo(addSeconds(departed, 3.0));
    EXPECT_EQ(lockRequests(), 1u);
    // The lock screen takes a moment; the lock state follows the session's notice, not the
    // request.
    EXPECT_FALSE(world->app->screenLock.isLocked());
    world->platform.loop.advanceBy(1.0);
    EXPECT_TRUE(world->platform.screenSession.screenLocked());
    EXPECT_TRUE(world->app->screenLock.isLocked());
}

TEST_F(ActionsWiringTest, ADepartureOnALockedScreenIsSilent) {
    start();
    world->platform.screenSession.userLocksScreen();
    world->platform.loop.runDue();
    ASSERT_TRUE(world->app->screenLock.isLocked());

    walkAway();
    EXPECT_TRUE(soundsPlayed().empty());
}

TEST_F(ActionsWiringTest, AnActiveScheduleSuppressesTheDepartureEntirely) {
    const LocalTimeOfDay now = sim::SimClock().localTimeOfDay(sim::SimPlatformOptions{}.start);
    start({
        {std::string(keys::scheduleEnabled), true},
        {std::string(keys::scheduleMode), std::string("suspend")},
        {std::string(keys::scheduleStartHour), std::int64_t{now.hour}},
        {std::string(keys::scheduleStartMinute), std::int64_t{0}},
        {std::string(keys::scheduleEndHour), std::int64_t{(now.hour + 2) % 24}},
        {std::string(keys::scheduleEndMinute), std::int64_t{0}},
    });
    const Instant departed = walkAway();
    advanceTo(addSeconds(departed, 10.0));

    EXPECT_TRUE(world->log.contains("Lock suppressed by schedule (device gone)"));
    EXPECT_TRUE(soundsPlayed().empty());
    EXPECT_EQ(lockRequests(), 0u);
}

TEST_F(ActionsWiringTest, InShortcutModeADepartureAndAReturnRunTheirShortcutsInTurn) {
    start({
        {std::string(keys::lockMode), std::string("Run Shortcut")},
        {std::string(keys::shortcutNameOnLock), std::string("Leaving \"Desk\"")},
        {std::string(keys::shortcutNameOnReturn), std::string("Back at Desk")},
        // Left over from an earlier process; launch must not let it pair with a return.
        {std::string(keys::awayShortcutRanForCurrentEvent), true},
    });
    auto& launcher = world->platform.processLauncher;
    EXPECT_TRUE(world->log.contains("Check scan state - canScan: true, onboarding complete: true"));
    EXPECT_EQ(launcher.runs().size(), 0u);

    walkAway();
    ASSERT_EQ(launcher.runs().size(), 1u);
    EXPECT_EQ(launcher.runs()[0].executable, "/usr/bin/shortcuts");
    EXPECT_EQ(launcher.runs()[0].arguments, (std::vector<std::string>{"run", "Leaving \"Desk\""}));
    EXPECT_EQ(lockRequests(), 0u);

    // Come back well after the gap that keeps the two shortcuts apart.
    world->platform.loop.advanceBy(10.0);
    const Instant returned = comeBack();
    advanceTo(addSeconds(returned, 0.999));
    EXPECT_EQ(launcher.runs().size(), 1u);
    advanceTo(addSeconds(returned, 1.0));
    ASSERT_EQ(launcher.runs().size(), 2u);
    EXPECT_EQ(launcher.runs()[1].arguments, (std::vector<std::string>{"run", "Back at Desk"}));
}

TEST_F(ActionsWiringTest, LaunchClearsALeftoverAwayShortcutFlag) {
    start({{std::string(keys::awayShortcutRanForCurrentEvent), true}});
    EXPECT_FALSE(world->app->settings.boolForKey(keys::awayShortcutRanForCurrentEvent));
}

}  // namespace
}  // namespace ambleguard
