#pragma once

#include "base/Executor.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "platform/Alerts.h"
#include "platform/AppInstance.h"
#include "platform/AppShell.h"
#include "platform/BleCentral.h"
#include "platform/BluetoothController.h"
#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/HttpClient.h"
#include "platform/IdleClock.h"
#include "platform/KeyInjector.h"
#include "platform/Keychain.h"
#include "platform/LoginItem.h"
#include "platform/NetworkLinks.h"
#include "platform/NotificationPermission.h"
#include "platform/NotificationSettingsLink.h"
#include "platform/Notifier.h"
#include "platform/ProcessLauncher.h"
#include "platform/ProgramInfo.h"
#include "platform/ScreenSession.h"
#include "platform/SessionUnlock.h"
#include "platform/SettingsPersistence.h"
#include "platform/ShortcutCommands.h"
#include "platform/SoundFiles.h"
#include "platform/SoundOutput.h"
#include "platform/SystemPower.h"
#include "platform/UserActivity.h"

#include <string>

namespace ambleguard {

// Everything the program needs from the platform it runs on, handed to the composition root.
// The simulated platform and the real desktop backend each fill one of these.
struct PlatformPorts {
    const Clock& clock;
    MainQueue& mainQueue;
    // Where Bluetooth callbacks arrive and readings are validated and filtered.
    Executor& bluetoothQueue;
    // The one serial queue of the discovery tables.
    SerialExecutor& peripheralQueue;
    LogSink& logSink;
    ConsoleOutput& console;
    // Where the settings store keeps its values; the composition root builds the store on it.
    SettingsPersistence& settingsPersistence;
    BleCentralPort& bluetooth;
    // The host controller, for diagnostics only.
    BluetoothController& bluetoothController;
    // Network links, to notice a tether to a phone.
    NetworkLinks& networkLinks;
    ScreenSession& screenSession;
    SoundOutput& soundOutput;
    const SoundFiles& soundFiles;
    IdleClock& idleClock;
    Notifier& notifier;
    ProcessLauncher& processLauncher;
    // What to start for a named shortcut.
    const ShortcutCommands& shortcutCommands;
    LoginItem& loginItem;
    AppInstance& appInstance;
    Alerts& alerts;
    // The application object and its user interface.
    AppShell& shell;
    SystemPower& systemPower;
    // Getting past the lock screen: how, and what each way needs.
    UnlockMethod unlockMethod;
    Keychain& keychain;
    KeyInjector& keyInjector;
    SessionUnlock& sessionUnlock;
    UserActivity& userActivity;
    // Notification permission and the desktop's page for it; the update check's network and
    // what the program knows about its own build.
    NotificationPermission& notificationPermission;
    NotificationSettingsLink& notificationSettings;
    HttpClient& http;
    ProgramInfo program;

    // The same ports with another application shell: the desktop user interface is built
    // before the application and takes the platform's place as its shell.
    PlatformPorts withShell(AppShell& replacement) const {
        return PlatformPorts{
            .clock = clock,
            .mainQueue = mainQueue,
            .bluetoothQueue = bluetoothQueue,
            .peripheralQueue = peripheralQueue,
            .logSink = logSink,
            .console = console,
            .settingsPersistence = settingsPersistence,
            .bluetooth = bluetooth,
            .bluetoothController = bluetoothController,
            .networkLinks = networkLinks,
            .screenSession = screenSession,
            .soundOutput = soundOutput,
            .soundFiles = soundFiles,
            .idleClock = idleClock,
            .notifier = notifier,
            .processLauncher = processLauncher,
            .shortcutCommands = shortcutCommands,
            .loginItem = loginItem,
            .appInstance = appInstance,
            .alerts = alerts,
            .shell = replacement,
            .systemPower = systemPower,
            .unlockMethod = unlockMethod,
            .keychain = keychain,
            .keyInjector = keyInjector,
            .sessionUnlock = sessionUnlock,
            .userActivity = userActivity,
            .notificationPermission = notificationPermission,
            .notificationSettings = notificationSettings,
            .http = http,
            .program = program,
        };
    }
};

}  // namespace ambleguard
