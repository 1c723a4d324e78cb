#pragma once

#include "base/Executor.h"
#include "base/Log.h"
#include "platform/Alerts.h"
#include "platform/AppInstance.h"
#include "settings/LaunchAtLogin.h"
#include "settings/SettingsStore.h"

#include <functional>

namespace ambleguard {

// Writes the detection and timing keys back to their defaults (explicitly, so direct readers
// see them too). Leaves every other key alone and does not synchronise.
void resetDetectionSettings(SettingsStore& store);

// The key changes of "reset everything": detection settings, lock mode, schedule, PIN,
// notifications, the chosen device, shortcut names, unlock options, the master switch and the
// onboarding flag. Keys not named (sounds, list options, presence state, time stamps) stay.
void resetEverythingKeys(SettingsStore& store);

// The three ways back to defaults: detection settings only; everything the user chose, then a
// fresh start into onboarding; and the complete reset offered from the menu.
class SettingsReset {
  public:
    SettingsReset(SettingsStore& store, LaunchAtLogin& launchAtLogin, AppInstance& app,
                  Alerts& alerts, Executor& mainQueue, LogSink& logSink,
                  std::function<void()> stopScanningPermanently);

    void resetDetectionSettings() { ambleguard::resetDetectionSettings(store_); }

    // resetEverythingKeys, launch at login off, synchronise, then start a fresh instance and end
    // this one once the platform has handled the launch.
    void resetEverythingAndRelaunch();

    // Asks for confirmation, removes the stored keys of the complete list, turns launch at login
    // off, tells the user and terminates (no relaunch).
    void completeReset();

  private:
    void performCompleteReset();

    SettingsStore& store_;
    LaunchAtLogin& launchAtLogin_;
    AppInstance& app_;
    Alerts& alerts_;
    Executor& mainQueue_;
    Logger log_;
    std::function<void()> stopScanningPermanently_;
};

}  // namespace ambleguard
