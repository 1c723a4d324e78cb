#include "platform/linux/LinuxPlatform.h"

#include "platform/linux/IdleClockChoice.h"

namespace ambleguard::linuxdesktop {

LinuxPlatform::LinuxPlatform(const LinuxPlatformOptions& options)
    : logSink(clock, options.logLevel),
      settingsFile(options.settingsFile, clock),
      systemBus(QDBusConnection::systemBus()),
      sessionBus(QDBusConnection::sessionBus()),
      bluetooth(bluetoothThread, systemBus, logSink, &hciSockets),
      screenSession(systemBus, sessionBus, logSink),
      soundOutput(mainQueue, logSink),
      soundFiles(options.resources),
      idleClock(chooseIdleClock(sessionBus, x11DisplayForIdleTime(), logSink)),
      notifier(sessionBus, logSink),
      processLauncher(processWorker, mainQueue),
      shortcutCommands(options.shortcutsFolder),
      loginItem(posix::XdgAutostartEntry::defaultFolder(), options.executable),
      appInstance(mainQueue, logSink),
      alerts(logSink),
      shell(logSink),
      systemPower(systemBus, sessionBus, mainQueue, logSink),
      userActivity(systemBus, sessionBus, *idleClock, clock, logSink),
      bluetoothController(systemBus, logSink),
      networkLinks(systemBus, mainQueue, logSink),
      notificationPermission(mainQueue, [this] { return notifier.serviceAvailable(); }),
      notificationSettings(processLauncher),
      program(buildProgramInfo()) {
    if (options.unlockByTyping) {
        chooseTyping();
    }
}

void LinuxPlatform::chooseTyping() {
    Logger log(logSink, "ScreenUnlock");
    const auto display = x11DisplayForIdleTime();
    if (!display) {
        log.notice("Unlock by typing needs an X11 session; asking the session to unlock instead");
        return;
    }
    keyInjector = XTestKeyInjector::open(*display, mainQueue, logSink,
                                         [this] { userActivity.noteOwnInput(); });
    if (!keyInjector) {
        log.notice(
            "Unlock by typing needs the X server's XTEST extension on {}; asking the "
            "session to unlock instead",
            *display);
        return;
    }
    keychain = std::make_unique<SecretServiceKeychain>(logSink);
    log.info("Unlock by typing: keys through XTEST on {}, the password in the secret store",
             *display);
}

PlatformPorts LinuxPlatform::ports() {
    return PlatformPorts{
        .clock = clock,
        .mainQueue = mainQueue,
        .bluetoothQueue = bluetoothThread,
        .peripheralQueue = bluetoothThread,
        .logSink = logSink,
        .console = console,
        .settingsPersistence = settingsFile,
        .bluetooth = bluetooth,
        .bluetoothController = bluetoothController,
        .networkLinks = networkLinks,
        .screenSession = screenSession,
        .soundOutput = soundOutput,
        .soundFiles = soundFiles,
        .idleClock = *idleClock,
        .notifier = notifier,
        .processLauncher = processLauncher,
        .shortcutCommands = shortcutCommands,
        .loginItem = loginItem,
        .appInstance = appInstance,
        .alerts = alerts,
        .shell = shell,
        .systemPower = systemPower,
        // Unless typing was chosen and is possible, the session is asked to unlock itself.
        .unlockMethod = keyInjector ? UnlockMethod::keystrokes : UnlockMethod::sessionRequest,
        .keychain = keychain ? static_cast<Keychain&>(*keychain) : noTyping,
        .keyInjector = keyInjector ? static_cast<KeyInjector&>(*keyInjector) : noTyping,
        .sessionUnlock = screenSession,
        .userActivity = userActivity,
        .notificationPermission = notificationPermission,
        .notificationSettings = notificationSettings,
        .http = http,
        .program = program,
    };
}

}  // namespace ambleguard::linuxdesktop
