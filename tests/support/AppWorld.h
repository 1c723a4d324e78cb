#pragma once

#include "app/Application.h"
#include "feedback/EventSoundPlayer.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimPlatform.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsReaders.h"

#include <optional>
#include <string>
#include <utility>

namespace ambleguard::test {

// The whole program on the simulated platform, built through the same composition root as the
// real one; not launched until the test says so.
class AppWorld {
  public:
    explicit AppWorld(SettingValues settings = {}, sim::SimBluetoothConfig bluetooth = {})
        : platform(options(std::move(settings), std::move(bluetooth)), log, console) {
        app.emplace(platform.ports());
    }

    // Settings of a user who finished onboarding and left monitoring on.
    static SettingValues onboarded(SettingValues more = {}) {
        more[std::string(keys::userHasCompletedOnboarding)] = true;
        more[std::string(keys::canScan)] = true;
        return more;
    }

    // One reading of the tracked device as a producer delivers it (on the Bluetooth queue).
    void reading(int rssi) {
        platform.bluetoothQueue.post([this, rssi] { app->scanner.processRSSI(rssi); });
        platform.loop.runDue();
    }
    // Readings every half second for `seconds`.
    void readings(int rssi, double seconds) {
        for (double t = 0; t < seconds; t += 0.5) {
            platform.loop.advanceBy(0.5);
            reading(rssi);
        }
    }

    // What the scan gate turns on and off: the scanner's published scanning state.
    bool scanning() const { return app->scanner.isScanning().get(); }
    std::string presence() const { return storedPresenceState(app->settings); }

    sim::RecordingLogSink log;
    sim::RecordingConsole console;
    sim::SimPlatform platform;
    std::optional<Application> app;

  private:
    static sim::SimPlatformOptions options(SettingValues settings,
                                           sim::SimBluetoothConfig bluetooth) {
        sim::SimPlatformOptions o;
        o.bluetooth = std::move(bluetooth);
        o.soundFiles = EventSoundPlayer::installedSoundFiles(sim::SimSoundFiles::kResourceRoot);
        o.settings = std::move(settings);
        return o;
    }
};

}  // namespace ambleguard::test
