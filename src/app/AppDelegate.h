#pragma once

#include "app/ScanGateTarget.h"
#include "app/UpdateChecker.h"
#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "platform/AppInstance.h"
#include "platform/AppShell.h"
#include "platform/SystemPower.h"
#include "settings/BoundSetting.h"
#include "settings/LaunchAtLogin.h"
#include "settings/SettingsStore.h"
#include "unlock/UnlockInterfaces.h"

#include <string>
#include <string_view>

namespace ambleguard {

// The application object: starts the process in order, chooses between first-run onboarding
// and the menu-bar presence, and runs the scan gate (scanning only while onboarding is complete
// and the master switch `canScan` is on). The gate runs shortly after start-up, whenever
// `canScan` changes, when monitoring is toggled from the menu and after a wake; on sleep the
// device is declared gone and scanning stops. Lives for the whole process; main queue only.
class AppDelegate {
  public:
    static constexpr double kInitialScanDelay = 0.5;
    static constexpr double kUpdateCheckDelay = 2.0;
    static constexpr double kUpdateCheckInterval = 21600.0;  // 6 hours
    static constexpr int kProcessPriority = -10;
    static constexpr std::string_view kAutomaticTerminationReason =
        "Ambleguard requires continuous Bluetooth monitoring";

    struct Dependencies {
        SettingsStore& settings;
        MainQueue& mainQueue;
        LogSink& logSink;
        AppShell& shell;
        AppInstance& app;
        SystemPower& systemPower;
        LaunchAtLogin& launchAtLogin;
        UpdateChecker& updates;
        ScanGateTarget& scanner;
        UnlockOnTouchStartup& unlockOnTouch;
    };

    // The settings the menu-bar interface reads through this object, each with its default.
    struct BoundSettings {
        BoundSetting<bool> isPinEnabled;
        BoundSetting<std::string> hashedPIN;
        BoundSetting<double> averageMinRSSI;
        BoundSetting<double> lastSeenTimeout;
        BoundSetting<bool> showSignalStrengthInMenuBar;
        BoundSetting<bool> userHasCompletedOnboarding;
    };

    // Creates the updater and schedules the first run of the gate; the process is not
    // launched yet.
    explicit AppDelegate(const Dependencies& deps);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    void applicationDidFinishLaunching();
    // The onboarding window is closing: before onboarding is complete that ends the process.
    void windowWillClose();
    // The user finished onboarding.
    void completeOnboarding();
    void setupMainInterface();

    // The scan gate.
    void checkScanState();
    // Runs after every write to the settings store (once the main interface exists).
    void userDefaultsDidChange();
    void handleWorkspaceNotification(PowerNotice notice);

    // The menu's monitoring switch: flips `canScan`.
    void toggleFeature();
    // The same from a menu item that shows the switch: the item's own state is flipped and
    // written. Returns the item's new state.
    bool toggleFeature(bool menuItemIsOn);
    void quitNow();

    const BoundSettings& boundSettings() const { return bound_; }
    bool previousCanScanValue() const { return previousCanScanValue_; }
    bool hasUpdateCheckTimer() const { return updateCheckTimer_.isSet(); }

  private:
    void buildMainInterface(bool hidePopoverAnchor);

    SettingsStore& store_;
    MainQueue& mainQueue_;
    AppShell& shell_;
    AppInstance& app_;
    SystemPower& systemPower_;
    LaunchAtLogin& launchAtLogin_;
    UpdateChecker& updates_;
    UnlockOnTouchStartup& unlockOnTouch_;
    BoundSettings bound_;
    ScanGateTarget& scanner_;
    Logger log_;
    // The sleep notice is the scanner's story, so it is told on the scanner's log.
    Logger scannerLog_;
    bool previousCanScanValue_ = false;

    ScopedTimer initialScanCheck_;
    ScopedTimer updateCheckTimer_;
    ScopedTimer delayedUpdateCheck_;
    Connection settingsObserver_;
    Connection willSleepObserver_;
    Connection didWakeObserver_;
    LivenessToken liveness_;
};

}  // namespace ambleguard
