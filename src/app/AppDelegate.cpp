#include "app/AppDelegate.h"

#include "actions/ShortcutSequencingState.h"
#include "settings/SettingsKeys.h"

namespace ambleguard {

AppDelegate::AppDelegate(const Dependencies& deps)
    : store_(deps.settings),
      mainQueue_(deps.mainQueue),
      shell_(deps.shell),
      app_(deps.app),
      systemPower_(deps.systemPower),
      loginItem_(deps.loginItem),
      unlockOnTouch_(deps.unlockOnTouch),
      bound_{
          .isPinEnabled = BoundSetting<bool>(deps.settings, bound::isPinEnabled),
          .hashedPIN = BoundSetting<std::string>(deps.settings, bound::hashedPIN),
          .averageMinRSSI = BoundSetting<double>(deps.settings, bound::averageMinRSSI),
          .lastSeenTimeout = BoundSetting<double>(deps.settings, bound::lastSeenTimeout),
          .showSignalStrengthInMenuBar =
              BoundSetting<bool>(deps.settings, bound::showSignalStrengthInMenuBar),
          .userHasCompletedOnboarding =
              BoundSetting<bool>(deps.settings, bound::userHasCompletedOnboarding),
      },
      // The scanner is built by the composition root, which owns it; this object only drives it.
      scanner_(deps.scanner),
      log_(deps.logSink, "Delegate"),
      scannerLog_(deps.logSink, "BT") {
    // Lowering the main thread's quality of service and pinning its affinity mean nothing on the
    // platforms this runs on, so neither request is made; the line stays for those who look for
    // it in the log.
    log_.debug("Set energy efficient thread policy");

    const bool onboardingComplete = bound_.userHasCompletedOnboarding.get();
    shell_.startUpdater(onboardingComplete);

    previousCanScanValue_ = store_.boolForKey(keys::canScan);

    // A delayed call rather than a sleeping task: it cannot be interrupted, so there is no
    // failure to report, and it is cancelled with this object.
    initialScanCheck_ = mainQueue_.postAfter(kInitialScanDelay, liveness_.guarded([this] {
        log_.debug("Start scan in MainActor");
        checkScanState();
    }));

    if (onboardingComplete) {
        updateCheckTimer_ = mainQueue_.scheduleRepeating(
            kUpdateCheckInterval, 0.0, liveness_.guarded([this] { shell_.checkForUpdates(); }));
    }
}

// Timers and observers are members: they are cancelled and removed with this object, and the
// liveness token (destroyed first) turns anything already queued into a no-op. The menu-bar
// interface's popovers, monitors and its own timer belong to the shell.
AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    shell_.disableAutomaticTermination(kAutomaticTerminationReason);
    shell_.disableSuddenTermination();
    shell_.setProcessPriority(kProcessPriority);

    // The screen lock state is created with the rest of the process-wide components, before
    // launch, so its lock observers already exist here.
    unlockOnTouch_.start();

    // Whatever the away shortcut did before this process started, it has no partner now.
    resetShortcutPairingAtLaunch(store_);

    if (store_.boolForKey(keys::userHasCompletedOnboarding)) {
        shell_.setActivationPolicy(ActivationPolicy::accessory);
        setupMainInterface();
        return;
    }

    // First run: a normal window with a Dock icon, and monitoring on from the start so that
    // onboarding can find the device.
    shell_.setActivationPolicy(ActivationPolicy::regular);
    shell_.activate();
    store_.setBool(keys::canScan, true);
    shell_.showOnboardingWindow(OnboardingWindowHandlers{
        .completed = liveness_.guarded([this] { completeOnboarding(); }),
        .willClose = liveness_.guarded([this] { windowWillClose(); }),
    });
}

void AppDelegate::windowWillClose() {
    if (store_.boolForKey(keys::userHasCompletedOnboarding)) {
        return;
    }
    log_.info("Onboarding window closed before onboarding was complete - terminating");
    app_.terminate();
}

void AppDelegate::completeOnboarding() {
    // The choice made during onboarding is applied once, then forgotten.
    const bool launchAtLogin = store_.boolForKey(keys::onboardingLaunchAtLoginPreference);
    if (!loginItem_.setEnabled(launchAtLogin)) {
        log_.error("Failed to {} launch at login: {}", launchAtLogin ? "enable" : "disable",
                   "the system refused the change");
    }
    store_.removeObject(keys::onboardingLaunchAtLoginPreference);

    // Written before the window closes, so its close handler sees onboarding complete and
    // does not end the process.
    store_.setBool(keys::userHasCompletedOnboarding, true);
    store_.setBool(keys::canScan, true);
    shell_.closeOnboardingWindow();

    shell_.setActivationPolicy(ActivationPolicy::accessory);
    shell_.startUpdater(true);
    buildMainInterface(false);
}

void AppDelegate::setupMainInterface() {
    buildMainInterface(true);
}

void AppDelegate::buildMainInterface(bool hidePopoverAnchor) {
    shell_.setupMainInterface(hidePopoverAnchor);

    settingsObserver_ = store_.onChange(liveness_.guarded([this] { userDefaultsDidChange(); }));
    willSleepObserver_ = systemPower_.observe(PowerNotice::willSleep, liveness_.guarded([this] {
        handleWorkspaceNotification(PowerNotice::willSleep);
    }));
    didWakeObserver_ = systemPower_.observe(PowerNotice::didWake, liveness_.guarded([this] {
        handleWorkspaceNotification(PowerNotice::didWake);
    }));

    delayedUpdateCheck_ = mainQueue_.postAfter(
        kUpdateCheckDelay, liveness_.guarded([this] { shell_.checkForUpdates(); }));
}

void AppDelegate::checkScanState() {
    const bool canScan = store_.boolForKey(keys::canScan);
    const bool onboardingComplete = store_.boolForKey(keys::userHasCompletedOnboarding);
    log_.debug("Check scan state - canScan: {}, onboarding complete: {}", boolText(canScan),
               boolText(onboardingComplete));

    if (!onboardingComplete) {
        // Onboarding drives the scanner itself.
        log_.debug("Skipping scan during onboarding");
        return;
    }
    if (canScan) {
        scanner_.startScanning();
    } else {
        scanner_.stopScanningPermanently();
    }
}

void AppDelegate::userDefaultsDidChange() {
    shell_.updateStatusItem();

    const bool canScan = store_.boolForKey(keys::canScan);
    if (canScan == previousCanScanValue_) {
        return;
    }
    log_.debug("Start scan in userDefaultsDidChange - canScan changed from {} to {}",
               boolText(previousCanScanValue_), boolText(canScan));
    previousCanScanValue_ = canScan;
    checkScanState();
}

void AppDelegate::handleWorkspaceNotification(PowerNotice notice) {
    switch (notice) {
        case PowerNotice::willSleep:
            scannerLog_.info("System sleep - stopping scan");
            scanner_.forcePresenceGone("system sleep");
            scanner_.resetSignalState();
            scanner_.stopScanningPermanently();
            break;
        case PowerNotice::didWake:
            log_.debug("Start scan in handleWorkspaceNotification");
            checkScanState();
            break;
        case PowerNotice::screensDidWake:
            break;
    }
}

void AppDelegate::toggleFeature() {
    store_.setBool(keys::canScan, !store_.boolForKey(keys::canScan));
    log_.debug("Start scan in toggleFeature");
    checkScanState();
}

bool AppDelegate::toggleFeature(bool menuItemIsOn) {
    const bool nowOn = !menuItemIsOn;
    store_.setBool(keys::canScan, nowOn);
    log_.debug("Start scan in toggleFeature");
    checkScanState();
    return nowOn;
}

void AppDelegate::quitNow() {
    app_.terminate();
}

}  // namespace ambleguard
