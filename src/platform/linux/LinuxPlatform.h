#pragma once

#include "platform/PlatformPorts.h"
#include "platform/linux/BlueZCentral.h"
#include "platform/linux/BlueZController.h"
#include "platform/linux/BuildProgramInfo.h"
#include "platform/linux/CanberraSoundOutput.h"
#include "platform/linux/FreedesktopNotifier.h"
#include "platform/linux/HeadlessAppShell.h"
#include "platform/linux/HeadlessPorts.h"
#include "platform/linux/JournalLogSink.h"
#include "platform/linux/LogindScreenSession.h"
#include "platform/linux/LogindSystemPower.h"
#include "platform/linux/NetworkManagerLinks.h"
#include "platform/linux/QtHttpClient.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/linux/QtWorkerThread.h"
#include "platform/linux/RawHciSocketOpener.h"
#include "platform/linux/SecretServiceKeychain.h"
#include "platform/linux/SessionUserActivity.h"
#include "platform/linux/ShortcutFolder.h"
#include "platform/linux/XTestKeyInjector.h"
#include "platform/posix/DesktopNotificationSettings.h"
#include "platform/posix/DirectorySoundFiles.h"
#include "platform/posix/JsonSettingsFile.h"
#include "platform/posix/PosixProcessLauncher.h"
#include "platform/posix/StreamSinks.h"
#include "platform/posix/SystemClock.h"
#include "platform/posix/ThreadExecutor.h"
#include "platform/posix/XdgAutostartEntry.h"

#include <QDBusConnection>

#include <filesystem>
#include <memory>

namespace ambleguard::linuxdesktop {

struct LinuxPlatformOptions {
    LogLevel logLevel = LogLevel::info;
    std::filesystem::path settingsFile = posix::JsonSettingsFile::defaultPath();
    // The folder holding Sounds/ and the program's other resources.
    std::filesystem::path resources;
    std::filesystem::path shortcutsFolder = ShortcutFolder::defaultFolder();
    // The program the autostart entry starts at login.
    std::string executable = "ambleguard";
    // Type the stored password into the lock screen rather than ask the session to unlock.
    // Honoured only in an X11 session whose server has XTEST.
    bool unlockByTyping = false;
};

// Every port of the program on this Linux desktop: Qt's event loop as the main queue, one
// worker thread for Bluetooth, BlueZ and logind on the system bus, the desktop's services on
// the session bus. A missing service makes its port report "unknown" or "unsupported" (each
// says so once in the log); nothing here fails to build for want of a service.
//
// Build it after the QCoreApplication, and destroy whatever uses its ports first.
class LinuxPlatform {
  public:
    explicit LinuxPlatform(const LinuxPlatformOptions& options);
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

    PlatformPorts ports();

    // Declared in construction order.
    posix::SystemClock clock;
    QtMainQueue mainQueue;
    DesktopLogSink logSink;
    posix::StdoutConsole console;
    // The Bluetooth queue and the peripheral queue: one thread.
    QtWorkerThread bluetoothThread{"bluetooth"};
    posix::JsonSettingsFile settingsFile;
    QDBusConnection systemBus;
    QDBusConnection sessionBus;
    // Link RSSI of the connection feed: HCI Read RSSI on raw sockets.
    RawHciSocketOpener hciSockets;
    BlueZCentralPort bluetooth;
    LogindScreenSession screenSession;
    CanberraSoundOutput soundOutput;
    posix::DirectorySoundFiles soundFiles;
    std::unique_ptr<IdleClock> idleClock;
    FreedesktopNotifier notifier;
    posix::ThreadExecutor processWorker;
    posix::PosixProcessLauncher processLauncher;
    ShortcutFolder shortcutCommands;
    posix::XdgAutostartEntry loginItem;
    QtAppInstance appInstance;
    LoggedAlerts alerts;
    HeadlessAppShell shell;
    LogindSystemPower systemPower;
    NoTyping noTyping;
    SessionUserActivity userActivity;
    // Present only when typing was asked for and this session allows it.
    std::unique_ptr<XTestKeyInjector> keyInjector;
    std::unique_ptr<SecretServiceKeychain> keychain;
    // Controller diagnostics from BlueZ, logind and the kernel's rfkill switches; tethers from
    // NetworkManager.
    BlueZController bluetoothController;
    NetworkManagerLinks networkLinks;
    ServicePresenceNotificationPermission notificationPermission;
    posix::DesktopNotificationSettings notificationSettings;
    QtHttpClient http;
    ProgramInfo program;

  private:
    void chooseTyping();
};

}  // namespace ambleguard::linuxdesktop
