#pragma once

#include "base/Executor.h"
#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Published.h"
#include "base/Signal.h"
#include "bluetooth/ConnectionAttempts.h"
#include "bluetooth/DeviceDiscovery.h"
#include "bluetooth/ScanMode.h"
#include "platform/BleCentral.h"
#include "platform/Clock.h"
#include "presence/ReadingPipeline.h"
#include "settings/SettingsStore.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ambleguard {

// How Bluetooth went away, for the lock decision.
enum class BluetoothLoss { poweredOff, unauthorized, unavailable };

// The life of the program's Bluetooth central: creating it, scanning in either mode, following
// every power and permission state of the stack, taking back what the platform restores,
// replacing a stuck central, and the 1-second presence tick that runs while Bluetooth is usable.
//
// Threads: everything runs on the main queue except centralDidUpdateState and
// restoreCentralState, which arrive on the Bluetooth executor and only hop to the main queue or
// hand work to discovery.
class CentralLifecycle final {
  public:
    static constexpr std::string_view kRestoreIdentifier = "com.quillon.Ambleguard.central";
    static constexpr std::string_view kAccessDeniedError =
        "Bluetooth access denied. Please enable in System Settings > Privacy & Security > "
        "Bluetooth";
    static constexpr std::string_view kPoweredOffError = "Bluetooth is powered off";
    static constexpr std::string_view kUnavailableError = "Bluetooth is not available";

    static constexpr double kPresenceTickInterval = 1.0;
    static constexpr double kResetCooldownPeriod = 30.0;
    // A fresh central is created this long after the old one was dropped.
    static constexpr double kResetContinuationDelay = 0.5;
    // Scanning resumes this long after Bluetooth reports that it is powered on.
    static constexpr double kPowerOnScanDelay = 0.1;

    struct Dependencies {
        const Clock& clock;
        MainQueue& mainQueue;
        // Where the central's callbacks run.
        Executor& bluetoothQueue;
        BleCentralPort& bluetooth;
        // Receives the callbacks of every central created here; must outlive this object.
        BleCentralDelegate& delegate;
        SettingsStore& settings;
        LogSink& logSink;
        ReadingPipeline& pipeline;
        DeviceDiscovery& discovery;
        ConnectionAttempts& connections;
    };

    explicit CentralLifecycle(const Dependencies& deps);
    ~CentralLifecycle();
    CentralLifecycle(const CentralLifecycle&) = delete;
    CentralLifecycle& operator=(const CentralLifecycle&) = delete;

    // Creates the central once (and starts the presence tick); later calls do nothing.
    void setupCentralManager();
    // Starts the scan of the current mode, or stops an active scan when scanning is not allowed.
    void startScanning();
    // Stops an active scan; timers and the connection feed are left alone.
    void stopScanning();
    // Stops the scan, the presence tick and the connection feed (the stopping itself happens in
    // a moment, on the main queue).
    void stopScanningPermanently();
    // True: the next scan is an onboarding scan. A running scan is not restarted.
    void setScanMode(bool onboarding);
    ScanMode currentScanMode() const { return currentScanMode_; }
    // The user's master switch: stored, then scanning starts or stops.
    void setCanScan(bool canScan);
    // Assigning true starts scanning.
    void setScanTriggered(bool triggered);

    // Replaces the central, at most once per cooldown period.
    void resetBluetooth();
    // Clears the reading pipeline's short-term state.
    void resetSignalState();

    // True when scanning may proceed (or the user is about to be asked); publishes the
    // authorization and, when access is denied, the error.
    bool checkBluetoothPermission();
    BleAuthorization refreshPermissionStatus();

    void handleCentralStateChange(BleManagerState state);

    // The 1-second presence evaluation tick.
    void startPresenceTimer();
    void stopPresenceTimer();
    bool isPresenceTimerRunning() const { return noSignalTimer_.isSet(); }

    // Bluetooth executor: the central's state and restoration callbacks.
    void centralDidUpdateState(BleManagerState state);
    void restoreCentralState(const BleRestoredState& restored);

    // The central while one exists.
    BleCentral* centralManager() const { return central_.get(); }
    bool isCentralPoweredOn() const;

    // Published for the user interface, written on the main queue.
    const Published<bool>& isScanning() const { return isScanning_; }
    const Published<std::optional<std::string>>& error() const { return error_; }
    const Published<bool>& isScanTriggered() const { return isScanTriggered_; }
    const Published<BleAuthorization>& bluetoothPermissionStatus() const {
        return bluetoothPermissionStatus_;
    }

    // Bluetooth went away (off, denied or unavailable), after the presence was forced to gone
    // where that applies; whoever decides about locking listens (main queue).
    [[nodiscard]] Connection onBluetoothLost(std::function<void(BluetoothLoss)> fn) {
        return bluetoothLost_.connect(std::move(fn));
    }

  private:
    void startOnboardingScan();
    void startMonitoringScan();
    void finishStoppingPermanently();
    void finishReset();
    void bluetoothLost(BluetoothLoss loss);
    void publishPermission(BleAuthorization authorization);
    // The central's state for log lines: its number, or -1 without a central.
    int stateForLog() const;
    bool canScan() const;

    const Clock& clock_;
    MainQueue& mainQueue_;
    Executor& bluetoothQueue_;
    BleCentralPort& bluetooth_;
    BleCentralDelegate& delegate_;
    SettingsStore& settings_;
    Logger log_;
    ReadingPipeline& pipeline_;
    DeviceDiscovery& discovery_;
    ConnectionAttempts& connections_;

    std::unique_ptr<BleCentral> central_;
    // Changes whenever a central is created or dropped, so that a state change posted by a
    // central that no longer exists is recognised and ignored. Read on the Bluetooth executor.
    std::atomic<std::uint64_t> centralGeneration_{0};
    ScanMode currentScanMode_ = ScanMode::monitoring;
    std::optional<Instant> lastBluetoothResetTime_;
    // The platform handed back a kept link to the tracked device before the central was
    // powered on; it is adopted once it is.
    bool restoredLinkPending_ = false;
    ScopedTimer noSignalTimer_;
    Signal<BluetoothLoss> bluetoothLost_;

    Published<bool> isScanning_{false};
    Published<std::optional<std::string>> error_{std::nullopt};
    Published<bool> isScanTriggered_{false};
    Published<BleAuthorization> bluetoothPermissionStatus_;

    LivenessToken liveness_;  // last: posted work checks it before touching anything above
};

}  // namespace ambleguard
