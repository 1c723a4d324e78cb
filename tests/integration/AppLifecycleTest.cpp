#include <gtest/gtest.h>

#include "support/AppWorld.h"

namespace ambleguard {
namespace {

using test::AppWorld;

constexpr std::string_view kSkipping = "Skipping scan during onboarding";

TEST(AppLifecycleTest, FirstLaunchShowsOnboardingInARegularWindowAndLeavesTheScannerAlone) {
    AppWorld w;
    auto& shell = w.platform.shell;
    w.app->launch();

    EXPECT_EQ(shell.activationPolicy(), ActivationPolicy::regular);
    EXPECT_EQ(shell.count("brought to front"), 1u);
    EXPECT_TRUE(shell.onboardingWindowOpen());
    EXPECT_FALSE(shell.mainInterfaceBuilt());
    EXPECT_TRUE(w.app->settings.boolForKey(keys::canScan));
    EXPECT_EQ(shell.count("updater created, not started"), 1u);
    EXPECT_EQ(shell.count("automatic termination disabled: Ambleguard requires continuous "
                          "Bluetooth monitoring"),
              1u);
    EXPECT_EQ(shell.count("process priority: -10"), 1u);
    EXPECT_FALSE(w.app->delegate.hasUpdateCheckTimer());
    // Nothing observes settings before the menu bar exists, so writing canScan redrew nothing.
    EXPECT_EQ(shell.count("status item redrawn"), 0u);

    w.platform.loop.advanceBy(0.499);
    EXPECT_FALSE(w.log.contains(kSkipping));
    w.platform.loop.advanceBy(0.001);
    EXPECT_TRUE(w.log.contains("Check scan state - canScan: true, onboarding complete: false"));
    EXPECT_TRUE(w.log.contains(kSkipping));
    EXPECT_FALSE(w.scanning());
    EXPECT_EQ(w.platform.http.requests().size(), 0u);
}

TEST(AppLifecycleTest, ClosingOnboardingBeforeFinishingEndsTheProcess) {
    AppWorld w;
    w.app->launch();
    w.platform.shell.userClosesOnboardingWindow();
    EXPECT_EQ(w.platform.appInstance.terminations(), 1);
}

TEST(AppLifecycleTest, FinishingOnboardingMovesToTheMenuBarWithoutEndingTheProcess) {
    AppWorld w({{std::string(keys::onboardingLaunchAtLoginPreference), true}});
    auto& shell = w.platform.shell;
    auto& settings = w.app->settings;
    w.app->launch();
    w.platform.loop.advanceBy(1.0);

    shell.userFinishesOnboarding();
    EXPECT_EQ(w.platform.appInstance.terminations(), 0);
    EXPECT_TRUE(w.platform.loginItem.isEnabled());
    EXPECT_FALSE(settings.storedValue(keys::onboardingLaunchAtLoginPreference).has_value());
    EXPECT_TRUE(settings.boolForKey(keys::userHasCompletedOnboarding));
    EXPECT_TRUE(settings.boolForKey(keys::canScan));
    EXPECT_FALSE(shell.onboardingWindowOpen());
    EXPECT_EQ(shell.activationPolicy(), ActivationPolicy::accessory);
    EXPECT_EQ(shell.count("updater created and started"), 1u);
    EXPECT_EQ(shell.count("main interface set up (popover anchor hidden: false)"), 1u);
    // The periodic check exists only for a process that started onboarded.
    EXPECT_FALSE(w.app->delegate.hasUpdateCheckTimer());

    w.platform.loop.advanceBy(1.999);
    EXPECT_EQ(w.platform.http.requests().size(), 0u);
    w.platform.loop.advanceBy(0.001);
    EXPECT_EQ(w.platform.http.requests().size(), 1u);
}

TEST(AppLifecycleTest, AnOnboardedLaunchStartsScanningThroughTheGateHalfASecondLater) {
    AppWorld w(AppWorld::onboarded());
    auto& shell = w.platform.shell;
    w.app->launch();

    EXPECT_EQ(shell.activationPolicy(), ActivationPolicy::accessory);
    EXPECT_FALSE(shell.onboardingWindowOpen());
    EXPECT_EQ(shell.count("main interface set up (popover anchor hidden: true)"), 1u);
    EXPECT_EQ(shell.count("updater created and started"), 1u);

    w.platform.loop.advanceBy(0.499);
    EXPECT_FALSE(w.log.contains("Start scan in MainActor"));
    w.platform.loop.advanceBy(0.001);
    EXPECT_TRUE(w.log.contains("Start scan in MainActor"));
    // The gate creates the central; it reports powered on a moment later and the scan starts
    // 0.1 s after that.
    EXPECT_FALSE(w.scanning());
    w.platform.loop.advanceBy(0.1);
    EXPECT_TRUE(w.scanning());

    // One check 2 s after the menu bar appears, then one every 6 hours.
    w.platform.loop.advanceBy(1.399);
    EXPECT_EQ(w.platform.http.requests().size(), 0u);
    w.platform.loop.advanceBy(0.001);
    EXPECT_EQ(w.platform.http.requests().size(), 1u);
    w.platform.loop.advanceBy(AppDelegate::kUpdateCheckInterval - 2.001);
    EXPECT_EQ(w.platform.http.requests().size(), 1u);
    w.platform.loop.advanceBy(0.001);
    EXPECT_EQ(w.platform.http.requests().size(), 2u);
}

TEST(AppLifecycleTest, TogglingMonitoringStopsScanningAndStartsItAgain) {
    AppWorld w(AppWorld::onboarded());
    auto& delegate = w.app->delegate;
    w.app->launch();
    w.platform.loop.advanceBy(0.6);
    ASSERT_TRUE(w.scanning());

    delegate.toggleFeature();
    w.platform.loop.runDue();
    EXPECT_FALSE(w.app->settings.boolForKey(keys::canScan));
    EXPECT_FALSE(w.scanning());
    EXPECT_TRUE(
        w.log.contains("Start scan in userDefaultsDidChange - canScan changed from true to false"));
    EXPECT_TRUE(w.log.contains("Start scan in toggleFeature"));

    delegate.toggleFeature();
    w.platform.loop.runDue();
    EXPECT_TRUE(w.scanning());

    // From the menu item, its own check mark is what gets flipped.
    EXPECT_FALSE(delegate.toggleFeature(/*menuItemIsOn=*/true));
    w.platform.loop.runDue();
    EXPECT_FALSE(w.app->settings.boolForKey(keys::canScan));
    EXPECT_FALSE(w.scanning());
    EXPECT_TRUE(delegate.toggleFeature(/*menuItemIsOn=*/false));
    w.platform.loop.runDue();
    EXPECT_TRUE(w.scanning());
}

TEST(AppLifecycleTest, SleepDeclaresTheDeviceGoneAndStopsScanningAndWakeRestartsIt) {
    AppWorld w(AppWorld::onboarded());
    auto& power = w.platform.systemPower;
    w.app->launch();
    w.readings(-50, 5.0);
    ASSERT_EQ(w.presence(), "Present");

    power.systemWillSleep();
    w.platform.loop.runDue();
    EXPECT_TRUE(w.log.contains("System sleep - stopping scan"));
    EXPECT_EQ(w.presence(), "Absent");
    EXPECT_FALSE(w.scanning());
    EXPECT_FALSE(w.app->scanner.pipeline().signalSnapshot().filterEstimate.has_value());
    // Going to sleep is not the user walking away: nothing is locked for it.
    w.platform.loop.advanceBy(10.0);
    EXPECT_EQ(w.platform.screenSession.count("direct lock requested"), 0u);

    power.systemDidWake();
    w.platform.loop.runDue();
    EXPECT_TRUE(w.log.contains("Start scan in handleWorkspaceNotification"));
    EXPECT_TRUE(w.scanning());

    // With monitoring off, waking up leaves the scanner stopped.
    w.app->delegate.toggleFeature();
    power.systemWillSleep();
    power.systemDidWake();
    w.platform.loop.runDue();
    EXPECT_FALSE(w.scanning());
}

TEST(AppLifecycleTest, ASettingsChangeElsewhereRedrawsTheIconButDoesNotRunTheGate) {
    AppWorld w(AppWorld::onboarded());
    auto& shell = w.platform.shell;
    w.app->launch();
    w.platform.loop.advanceBy(1.0);
    const auto redraws = shell.count("status item redrawn");
    w.log.clear();

    w.app->settings.setBool(keys::showSignalStrengthInMenuBar, true);
    EXPECT_EQ(shell.count("status item redrawn"), redraws + 1);
    EXPECT_FALSE(w.log.containsFragment("Check scan state"));
}

TEST(AppLifecycleTest, DestroyingTheApplicationReleasesItsObserversAndTimers) {
    AppWorld w(AppWorld::onboarded());
    w.app->launch();
    w.app.reset();
    const auto calls = w.platform.shell.calls().size();

    // The settings store went with the application, so only the platform can still speak.
    w.platform.systemPower.systemWillSleep();
    w.platform.systemPower.systemDidWake();
    w.platform.loop.advanceBy(AppDelegate::kUpdateCheckInterval + 1.0);
    EXPECT_EQ(w.platform.shell.calls().size(), calls);
    EXPECT_FALSE(w.log.containsFragment("Check scan state"));
}

}  // namespace
}  // namespace ambleguard
