#pragma once

#include "platform/PlatformPorts.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingNotifier.h"
#include "platform/sim/SimAppShell.h"
#include "platform/sim/SimBluetoothController.h"
#include "platform/sim/SimBluetoothWorld.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimHttpClient.h"
#include "platform/sim/SimIdleClock.h"
#include "platform/sim/SimKeychain.h"
#include "platform/sim/SimLockScreen.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimNetworkLinks.h"
#include "platform/sim/SimNotificationPermission.h"
#include "platform/sim/SimProcessLauncher.h"
#include "platform/sim/SimScreenSession.h"
#include "platform/sim/SimShellPorts.h"
#include "platform/sim/SimShortcutCommands.h"
#include "platform/sim/SimSoundFiles.h"
#include "platform/sim/SimSoundOutput.h"
#include "platform/sim/SimSystemPower.h"

namespace ambleguard::sim {

struct SimPlatformOptions {
    Instant start = SimClock::defaultStart();
    int utcOffsetSeconds = 0;
    // What the in-memory settings persistence holds before anything is built.
    SettingValues settings;
    SimBluetoothConfig bluetooth;
    // The sound files that exist (the program's own and the system's).
    std::vector<std::string> soundFiles;
    // The lock screen, how the program gets past it, and what the keychain holds at launch.
    SimLockScreenConfig lockScreen;
    UnlockMethod unlockMethod = UnlockMethod::keystrokes;
    std::vector<SimKeychain::Item> keychain;
    // The running build and its version service, and what that service answers. Unless told
    // otherwise, the service exists and reports the running build, so there is no update.
    ProgramInfo program{.build = "1",
                        .updateEndpoint = "https://updates.ambleguard.test",
                        .downloadPage = "https://ambleguard.test/download"};
    HttpResult versionAnswer = HttpResponse{200, "1\n"};
};

// Every port of the program, simulated, on one virtual clock and main loop. Log lines and
// standard-output texts go where the caller says (a recorder in tests, the transcript in
// `simulate`).
class SimPlatform {
  public:
    SimPlatform(SimPlatformOptions options, LogSink& logSink, ConsoleOutput& console);
    SimPlatform(const SimPlatform&) = delete;
    SimPlatform& operator=(const SimPlatform&) = delete;

    PlatformPorts ports();

    // Declared in construction order.
    SimClock clock;
    SimMainLoop loop;
    SimExecutor bluetoothQueue;
    SimExecutor peripheralQueue;
    LogSink& logSink;
    ConsoleOutput& console;
    MemorySettings persistence;
    SimBluetoothWorld bluetooth;
    SimBluetoothController bluetoothController;
    SimNetworkLinks networkLinks;
    SimScreenSession screenSession;
    SimSoundOutput soundOutput;
    SimSoundFiles soundFiles;
    SimIdleClock idleClock;
    RecordingNotifier notifier;
    SimProcessLauncher processLauncher;
    SimShortcutCommands shortcutCommands;
    SimLoginItem loginItem;
    SimAppInstance appInstance;
    SimAlerts alerts;
    SimAppShell shell;
    SimSystemPower systemPower;
    SimKeychain keychain;
    SimLockScreen lockScreen;
    UnlockMethod unlockMethod;
    SimNotificationPermission notificationPermission;
    SimNotificationSettingsLink notificationSettings;
    SimHttpClient http;
    ProgramInfo program;
};

}  // namespace ambleguard::sim
