#include "app/AppDelegate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimAppShell.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimShellPorts.h"
#include "platform/sim/SimSystemPower.h"
#include "settings/SettingsKeys.h"
#include "unlock/UnlockInterfaces.h"

namespace ambleguard {
namespace {

using ::testing::InSequence;
using ::testing::StrictMock;

class MockScanGateTarget : public ScanGateTarget {
  public:
    MOCK_METHOD(void, startScanning, (), (override));
    MOCK_METHOD(void, stopScanningPermanently, (), (override));
    MOCK_METHOD(void, resetSignalState, (), (override));
    MOCK_METHOD(void, forcePresenceGone, (std::string_view), (override));
    MOCK_METHOD(void, awaitPresenceAfterWake, (), (override));
};

class CountingUpdateChecker final : public UpdateChecker {
  public:
    void checkForUpdates() override { ++checks; }
    int checks = 0;
};

// The delegate alone, with a strict scanner: every call into it must be expected.
class AppDelegateTest : public ::testing::Test {
  protected:
    void create(bool onboarded, bool canScan) {
        settings.setBool(keys::userHasCompletedOnboarding, onboarded);
        settings.setBool(keys::canScan, canScan);
        delegate.emplace(AppDelegate::Dependencies{
            .settings = settings,
            .mainQueue = loop,
            .logSink = log,
            .shell = shell,
            .app = app,
            .systemPower = power,
            .launchAtLogin = launchAtLogin,
            .updates = updates,
            .scanner = scanner,
            .unlockOnTouch = unlockOnTouch,
        });
    }

    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::RecordingLogSink log;
    sim::MemorySettings persistence;
    SettingsStore settings{persistence, log};
    sim::SimAppShell shell;
    sim::SimAppInstance app;
    sim::SimSystemPower power{loop};
    sim::SimLoginItem loginItem;
    NullConsoleOutput console;
    LaunchAtLogin launchAtLogin{loginItem, console, log};
    CountingUpdateChecker updates;
    struct : UnlockOnTouchStartup {
        void start() override {}
    } unlockOnTouch;
    StrictMock<MockScanGateTarget> scanner;
    std::optional<AppDelegate> delegate;
};

TEST_F(AppDelegateTest, TheGateStopsScanningForGoodWhenMonitoringIsOffAndLeavesOnboardingAlone) {
    create(/*onboarded=*/true, /*canScan=*/false);
    delegate->applicationDidFinishLaunching();
    EXPECT_CALL(scanner, stopScanningPermanently());
    loop.advanceBy(AppDelegate::kInitialScanDelay);
    ::testing::Mock::VerifyAndClearExpectations(&scanner);

    // Before onboarding is complete the gate makes no call at all.
    settings.setBool(keys::userHasCompletedOnboarding, false);
    delegate->checkScanState();
    EXPECT_TRUE(log.contains("Check scan state - canScan: false, onboarding complete: false"));
}

TEST_F(AppDelegateTest, SleepDeclaresTheDeviceGoneBeforeClearingTheSignalAndStopping) {
    create(true, true);
    delegate->applicationDidFinishLaunching();
    {
        InSequence order;
        EXPECT_CALL(scanner, forcePresenceGone(std::string_view("system sleep")));
        EXPECT_CALL(scanner, resetSignalState());
        EXPECT_CALL(scanner, stopScanningPermanently());
    }
    power.systemWillSleep();
    loop.runDue();
    EXPECT_TRUE(log.contains("System sleep - stopping scan"));
}

TEST_F(AppDelegateTest, WakeWaitsForTheDeviceToBeHeardAgainThenStartsTheScan) {
    create(true, true);
    delegate->applicationDidFinishLaunching();
    {
        InSequence order;
        EXPECT_CALL(scanner, awaitPresenceAfterWake());
        EXPECT_CALL(scanner, startScanning());
    }
    power.systemDidWake();
    loop.runDue();
}

TEST_F(AppDelegateTest, ARefusedLaunchAtLoginChoiceIsLoggedAndOnboardingStillCompletes) {
    settings.setBool(keys::onboardingLaunchAtLoginPreference, true);
    loginItem.refuseWith("the system refused the change");
    create(false, false);
    delegate->applicationDidFinishLaunching();
    shell.userFinishesOnboarding();
    EXPECT_TRUE(log.contains("Failed to enable launch at login: the system refused the change"));
    EXPECT_FALSE(settings.storedValue(keys::onboardingLaunchAtLoginPreference).has_value());
    EXPECT_TRUE(settings.boolForKey(keys::userHasCompletedOnboarding));
    EXPECT_EQ(app.terminations(), 0);
}

}  // namespace
}  // namespace ambleguard
