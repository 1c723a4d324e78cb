#pragma once

#include "base/Executor.h"
#include "base/MainQueue.h"
#include "base/Published.h"
#include "base/Signal.h"
#include "bluetooth/CentralLifecycle.h"
#include "bluetooth/DeviceDiscovery.h"
#include "bluetooth/ScanMode.h"
#include "bluetooth/ScannerControl.h"
#include "platform/BleCentral.h"
#include "presence/PresenceEngine.h"
#include "presence/RSSIBuffer.h"
#include "presence/ReadingPipeline.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard {

// The one owner of the program's Bluetooth side. It holds the presence engine, the reading
// pipeline, device discovery and the central's lifecycle, and is the
// delegate of the central: advertisements go to discovery, state changes and restoration to the
// lifecycle. The logic of each lives in its own component; this class wires them together and
// is what the rest of the program talks to.
class BluetoothScanner final : public ScannerControl, private BleCentralDelegate {
  public:
    using DevicePresenceState = ambleguard::DevicePresenceState;
    using RSSIBuffer = ambleguard::RSSIBuffer;

    struct Dependencies {
        const Clock& clock;
        MainQueue& mainQueue;
        // Where the central's callbacks arrive (may run tasks concurrently).
        Executor& bluetoothQueue;
        // The one queue that owns the discovery tables.
        SerialExecutor& peripheralQueue;
        BleCentralPort& bluetooth;
        SettingsStore& settings;
        LogSink& logSink;
        SignalReadout& readout;
        Published<DevicePresenceState>& presence;
        ConnectionAttempts& connections;
    };

    explicit BluetoothScanner(const Dependencies& deps);
    ~BluetoothScanner() override;
    BluetoothScanner(const BluetoothScanner&) = delete;
    BluetoothScanner& operator=(const BluetoothScanner&) = delete;

    // --- Components ---
    ReadingPipeline& pipeline() { return pipeline_; }
    const PresenceEngine& presenceEngine() const { return presenceEngine_; }
    DeviceDiscovery& discovery() { return discovery_; }
    CentralLifecycle& lifecycle() { return lifecycle_; }
    // Where the producers hand readings (Bluetooth executor).
    ReadingSink& readingSink() { return pipeline_; }
    // What the tracked-device selection resets (main queue).
    SignalStateResets& signalStateResets() { return pipeline_; }

    // --- Readings (Bluetooth executor) ---
    void processRSSI(int raw) { pipeline_.processRSSI(raw); }
    void recordRSSIFailure(std::string_view reason) { pipeline_.recordRSSIFailure(reason); }

    // --- Presence (main queue) ---
    void evaluatePresence() { pipeline_.evaluatePresence(); }
    void syncPresenceState(std::string_view source) { pipeline_.syncPresenceState(source); }
    // Forces the engine to gone and publishes it with `source` (for example "system sleep").
    void forcePresenceGone(std::string_view source) { pipeline_.forcePresenceGone(source); }
    void resetSignalState() { lifecycle_.resetSignalState(); }

    // Fast user switching: the session going to the background looks like a lock to anyone in
    // this process listening for local screen notices (not to handleScreenLockChange).
    void handleSessionResignedActive();
    void handleSessionBecameActive();
    [[nodiscard]] Connection onLocalScreenNotice(std::function<void(std::string_view)> fn);

    // --- Central and scanning (main queue) ---
    void setupCentralManager() { lifecycle_.setupCentralManager(); }
    void startScanning() override { lifecycle_.startScanning(); }
    void stopScanning() { lifecycle_.stopScanning(); }
    void stopScanningPermanently() { lifecycle_.stopScanningPermanently(); }
    void setScanMode(bool onboarding) { lifecycle_.setScanMode(onboarding); }
    ScanMode currentScanMode() const { return lifecycle_.currentScanMode(); }
    void setCanScan(bool canScan) { lifecycle_.setCanScan(canScan); }
    void setScanTriggered(bool triggered) { lifecycle_.setScanTriggered(triggered); }
    void resetBluetooth() override { lifecycle_.resetBluetooth(); }
    bool checkBluetoothPermission() { return lifecycle_.checkBluetoothPermission(); }
    BleAuthorization refreshPermissionStatus() { return lifecycle_.refreshPermissionStatus(); }
    bool isCentralPoweredOn() const override { return lifecycle_.isCentralPoweredOn(); }

    // The 1-second presence evaluation tick.
    void startPresenceTimer() override { lifecycle_.startPresenceTimer(); }
    void stopPresenceTimer() { lifecycle_.stopPresenceTimer(); }
    bool isPresenceTimerRunning() const { return lifecycle_.isPresenceTimerRunning(); }

    // --- Published for the user interface (main queue) ---
    // The sorted device list and its changes.
    const std::vector<PeripheralRef>& peripherals() const { return discovery_.peripherals(); }
    [[nodiscard]] Connection onPeripheralsChanged(
        std::function<void(const std::vector<PeripheralRef>&)> observer) {
        return discovery_.onPeripheralsChanged(std::move(observer));
    }
    const Published<bool>& isScanning() const { return lifecycle_.isScanning(); }
    const Published<std::optional<std::string>>& error() const { return lifecycle_.error(); }
    const Published<bool>& isScanTriggered() const { return lifecycle_.isScanTriggered(); }
    const Published<BleAuthorization>& bluetoothPermissionStatus() const {
        return lifecycle_.bluetoothPermissionStatus();
    }

  private:
    // BleCentralDelegate (Bluetooth executor).
    void centralDidUpdateState(BleManagerState state) override;
    void centralWillRestoreState(const BleRestoredState& restored) override;
    void centralDidDiscover(const PeripheralRef& peripheral, const AdvertisementData& advertisement,
                            int rssi) override;
    void centralDidConnect(const PeripheralRef& peripheral) override;
    void centralDidFailToConnect(const PeripheralRef& peripheral,
                                 const std::optional<std::string>& error) override;
    void centralDidDisconnect(const PeripheralRef& peripheral,
                              const std::optional<std::string>& error) override;
    void peripheralDidReadRSSI(const PeripheralRef& peripheral, int rssi,
                               const std::optional<std::string>& error) override;

    Logger log_;
    PresenceEngine presenceEngine_;
    ReadingPipeline pipeline_;
    DeviceDiscovery discovery_;
    Signal<std::string_view> localScreenNotices_;
    // Last: its central is dropped first, so no callback reaches a half-destroyed scanner.
    CentralLifecycle lifecycle_;
};

}  // namespace ambleguard
