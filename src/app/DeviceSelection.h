#pragma once

#include "base/Log.h"
#include "bluetooth/DeviceDiscovery.h"
#include "platform/BleCentral.h"
#include "settings/SettingsStore.h"

#include <optional>
#include <string>

namespace ambleguard {

// Choosing the device to track, exactly as a row of the device list does: the beacon identity,
// the display name and the identifier are stored, and the scanner follows the settings. Main
// queue only (it asks the discovery tables synchronously on their queue).
class DeviceSelection {
  public:
    struct Outcome {
        std::string name;
        // Why tracking this device will go wrong, when it will.
        std::optional<std::string> warning;
    };

    DeviceSelection(SettingsStore& settings, DeviceDiscovery& discovery, LogSink& logSink)
        : settings_(settings), discovery_(discovery), log_(logSink, "Devices") {}

    Outcome select(const Peripheral& peripheral);
    // Clearing the tracked device's row forgets the choice; any other row changes nothing.
    void clear(const Peripheral& peripheral);

    // A device that advertises from a private address and is not paired shows up under a new
    // identifier every few minutes: tracked, it would vanish and be judged gone in front of its
    // owner. Beacons are exempt: they are followed by their beacon identity instead.
    static std::optional<std::string> trackingWarning(const Peripheral& peripheral,
                                                      const std::string& name,
                                                      bool hasBeaconIdentity);

  private:
    SettingsStore& settings_;
    DeviceDiscovery& discovery_;
    Logger log_;
};

}  // namespace ambleguard
