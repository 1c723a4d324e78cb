#include "app/Application.h"

#include "settings/SettingsReaders.h"

namespace ambleguard {

Application::Application(const PlatformPorts& ports)
    : ports_(ports),
      settings(ports.settingsPersistence, ports.logSink),
      presence(parseDevicePresenceState(storedPresenceState(settings))
                   .value_or(DevicePresenceState::present)),
      schedule(settings, ports.clock, ports.logSink),
      activity(settings, ports.idleClock),
      sounds(settings, ports.soundFiles, ports.soundOutput, ports.mainQueue, ports.logSink),
      screenLock(ports.screenSession, settings, ports.clock, ports.logSink, ports.console),
      passwords(ports.keychain, ports.logSink, "ScreenUnlocker"),
      unlocker(ScreenUnlocker::Dependencies{
          .settings = settings,
          .screenLocked = [this] { return screenLock.isLocked(); },
          .method = ports.unlockMethod,
          .keys = ports.keyInjector,
          .sessionUnlock = ports.sessionUnlock,
          .userActivity = ports.userActivity,
          .passwords = passwords,
          .sounds = sounds,
          .session = ports.screenSession,
          .mainQueue = ports.mainQueue,
          .clock = ports.clock,
          .logSink = ports.logSink,
      }),
      wakeSources(ports.userActivity, ports.clock, ports.logSink),
      unlockTest(UnlockTestCoordinator::Dependencies{
          .unlocker = unlocker,
          .screenLocked = [this] { return screenLock.isLocked(); },
          .lockScreenDirectly = [this] { screenLock.lockScreenDirectly(); },
          .session = ports.screenSession,
          .mainQueue = ports.mainQueue,
          .clock = ports.clock,
          .logSink = ports.logSink,
      }),
      unlockOnTouch(UnlockOnTouch::Dependencies{
          .settings = settings,
          .idleTime = [this] { return activity.idleTime(); },
          .screenLocked = [this] { return screenLock.isLocked(); },
          .suppressed = [this] { return schedule.shouldSuppress(); },
          .selfTestRunning = [this] { return unlockTest.isRunning(); },
          .fire = [this] { (void)unlocker.unlockAfterUserWake(); },
          .wakeInput = [this](Instant since) { return wakeSources.humanInputSince(since); },
          .session = ports.screenSession,
          .systemPower = ports.systemPower,
          .mainQueue = ports.mainQueue,
          .clock = ports.clock,
          .logSink = ports.logSink,
      }),
      shortcuts(ports.shortcutCommands, ports.processLauncher, ports.mainQueue, ports.logSink),
      sequencing(ports.logSink),
      awayActions(settings, presence, ports.clock, ports.mainQueue, ports.logSink, ports.console,
                  screenLock, schedule, activity, unlockTest, shortcuts, sequencing),
      returnActions(settings, presence, ports.clock, ports.mainQueue, ports.logSink, ports.console,
                    screenLock, schedule, unlockTest, unlocker, unlockOnTouch, shortcuts,
                    sequencing),
      scanner(BluetoothScanner::Dependencies{
          .clock = ports.clock,
          .mainQueue = ports.mainQueue,
          .bluetoothQueue = ports.bluetoothQueue,
          .peripheralQueue = ports.peripheralQueue,
          .bluetooth = ports.bluetooth,
          .settings = settings,
          .logSink = ports.logSink,
          .readout = readout,
          .presence = presence,
      }),
      outOfRangeAlerts(ports.clock, settings, ports.notifier, scanner.presenceEngine(), readout,
                       ports.logSink),
      reactions(PresenceReactions::Dependencies{
          .clock = ports.clock,
          .settings = settings,
          .logSink = ports.logSink,
          .pipeline = scanner.pipeline(),
          .scanner = scanner,
          .connections = scanner.connectionFeed(),
          .sounds = sounds,
          .screenLock = screenLock,
          .schedule = schedule,
          .awayActions = awayActions,
          .returnActions = returnActions,
          .unlockOnTouch = unlockOnTouch,
          .notifications = outOfRangeAlerts,
      }),
      controllerMonitor(ports.bluetoothController, ports.mainQueue, ports.clock, ports.logSink),
      hotspotMonitor(ports.networkLinks, ports.logSink),
      hotspotAlerts(ports.clock, settings, ports.notifier, ports.logSink,
                    [this] { return scanner.currentScanMode(); }),
      launchAtLogin(ports.loginItem, ports.console, ports.logSink),
      resets(settings, launchAtLogin, ports.appInstance, ports.alerts, ports.mainQueue,
             ports.logSink, [this] { scanGate_.stopScanningPermanently(); }),
      notificationPermission(ports.notificationPermission, ports.notificationSettings, ports.alerts,
                             settings, ports.mainQueue, ports.logSink),
      updates(ports.http, ports.mainQueue, settings, ports.logSink, ports.program),
      delegate(AppDelegate::Dependencies{
          .settings = settings,
          .mainQueue = ports.mainQueue,
          .logSink = ports.logSink,
          .shell = ports.shell,
          .app = ports.appInstance,
          .systemPower = ports.systemPower,
          .launchAtLogin = launchAtLogin,
          .updates = updates,
          .scanner = scanGate_,
          .unlockOnTouch = unlockOnTouch,
      }) {
    // Monitoring reacts to the session's lock notices after the lock state has taken them in,
    // because it was registered later.
    lockNotices_ = ports.screenSession.observe(
        ScreenNotice::locked, [this] { reactions.handleScreenLockChange(kScreenLockedNotice); });
    unlockNotices_ = ports.screenSession.observe(ScreenNotice::unlocked, [this] {
        reactions.handleScreenLockChange(kScreenUnlockedNotice);
    });
    switchedAwayNotices_ = ports.screenSession.observe(
        ScreenNotice::switchedAway, [this] { scanner.handleSessionResignedActive(); });
    switchedBackNotices_ = ports.screenSession.observe(
        ScreenNotice::switchedBack, [this] { scanner.handleSessionBecameActive(); });
    bluetoothLoss_ = scanner.lifecycle().onBluetoothLost(
        [this](BluetoothLoss loss) { reactions.decideLockOnBluetoothLoss(loss); });
    // The end of a tether is logged by the monitor and otherwise of no concern.
    hotspotMonitor.onChange = [this](std::optional<HotspotMonitor::Kind> kind) {
        if (kind) {
            hotspotAlerts.handleHotspotChange(*kind);
        }
    };
    hotspotMonitor.start();
}

void Application::launch() {
    ports_.shell.setActivationPolicy(ActivationPolicy::accessory);
    delegate.applicationDidFinishLaunching();
}

}  // namespace ambleguard
