#pragma once

#include "base/Executor.h"
#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "bluetooth/AltBeacon.h"
#include "bluetooth/ConnectionAttempts.h"
#include "bluetooth/TrackedDevice.h"
#include "bluetooth/TrackedSelection.h"
#include "platform/BleCentral.h"
#include "platform/Clock.h"
#include "presence/ReadingSink.h"
#include "settings/BoundSetting.h"
#include "settings/SettingsStore.h"

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace ambleguard {

// Everything the scanner learns from advertisements: the table of devices seen nearby, labels
// and identities of nameless beacons, the sorted device list for the user interface, expiry of
// devices gone quiet, and the tracked-device selection (following a beacon across address
// changes and reconciling with the settings).
//
// Threads: handleDiscovery runs on the Bluetooth executor; the three tables live on the
// peripheral executor only; the published list, the timers and the selection's writes belong to
// the main queue. The selection is read from the Bluetooth executor through its snapshot.
class DeviceDiscovery {
  public:
    static constexpr double kExpirationInterval = 15.0;

    DeviceDiscovery(const Clock& clock, MainQueue& mainQueue, SerialExecutor& peripheralQueue,
                    SettingsStore& settings, LogSink& logSink, ReadingSink& readings,
                    ConnectionAttempts& connections, SignalStateResets& resets);
    ~DeviceDiscovery();
    DeviceDiscovery(const DeviceDiscovery&) = delete;
    DeviceDiscovery& operator=(const DeviceDiscovery&) = delete;

    // One advertisement (Bluetooth executor).
    void handleDiscovery(const PeripheralRef& peripheral, const AdvertisementData& advertisement,
                         int rssi);

    // Rebuilds the sorted list on the peripheral executor and publishes it on the main queue.
    void publishDeviceList();
    // Empties the tables, then the published list.
    void clearDiscoveredDevices();
    // Enters peripherals handed back by the platform, seen now, and republishes.
    void restorePeripherals(std::vector<PeripheralRef> peripherals);

    // Main queue; also run by the 15 s timer.
    void expireDevices();
    // Main queue; run on every settings change.
    void reconcileSelection();
    void backfillBeaconIdentity(const Uuid& identifier, const std::string& identityKey);
    void readoptRotatedBeacon(const Uuid& identifier, const std::string& identityKey);

    // Answered synchronously on the peripheral executor; not callable from a task running there.
    std::optional<std::string> resolvedName(const Peripheral& peripheral);
    std::optional<std::string> beaconIdentity(const Peripheral& peripheral);

    // The published list, sorted by display name (main queue).
    const std::vector<PeripheralRef>& peripherals() const { return peripherals_; }
    // Raised on the main queue whenever the list is replaced.
    [[nodiscard]] Connection onPeripheralsChanged(
        std::function<void(const std::vector<PeripheralRef>&)> observer) {
        return peripheralsChanged_.connect(std::move(observer));
    }

    // The tracked device, safe to read from any thread.
    const TrackedSelection& selection() const { return selection_; }

  private:
    // What a non-tracked advertisement leaves for the table. The log texts are built only when
    // the device turns out to be new, which keeps repeated advertisements cheap.
    struct Sighting {
        PeripheralRef peripheral;
        std::optional<std::string> name;
        std::optional<std::string> label;
        std::optional<std::string> identityKey;
        std::vector<std::string> keys;
        std::optional<std::vector<std::string>> services;
        std::optional<std::vector<std::uint8_t>> manufacturerPrefix;
    };

    void startExpirationTimer();
    void passReading(int rssi);
    // Peripheral executor only.
    void recordNamedDevice(const Sighting& sighting);
    void recordTrackedDevice(const PeripheralRef& peripheral, std::optional<std::string> label,
                             std::optional<std::string> identityKey);
    void publishFromQueue();
    void forget(const Uuid& identifier);
    // Main queue.
    void assignPeripherals(std::vector<PeripheralRef> list);

    const Clock& clock_;
    MainQueue& mainQueue_;
    SerialExecutor& peripheralQueue_;
    SettingsStore& settings_;
    Logger log_;
    ReadingSink& readings_;
    ConnectionAttempts& connections_;
    SignalStateResets& resets_;

    BoundSetting<bool> showOnlyAppleDevices_;
    BoundSetting<bool> enableDeviceExpiration_;
    BoundSetting<double> deviceExpirationTime_;

    TrackedSelection selection_;
    std::string capturedDetectionMode_;

    // Peripheral executor only.
    std::unordered_map<Uuid, TrackedDevice> discoveredPeripherals_;
    std::unordered_map<Uuid, std::string> resolvedNames_;
    std::unordered_map<Uuid, std::string> beaconIdentities_;

    // Main queue only.
    std::vector<PeripheralRef> peripherals_;
    Signal<const std::vector<PeripheralRef>&> peripheralsChanged_;
    ScopedTimer expirationTimer_;
    Connection settingsObserver_;

    // Main-queue work checks liveness_; peripheral-queue work checks peripheralLiveness_, which
    // the destructor invalidates on that queue.
    LivenessToken peripheralLiveness_;
    LivenessToken liveness_;
};

}  // namespace ambleguard
