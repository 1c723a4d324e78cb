#include "bluetooth/CentralLifecycle.h"

#include "settings/SettingsKeys.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace ambleguard {

namespace {

std::string listText(const std::vector<std::string>& items) {
    return fmt::format("[{}]", fmt::join(items, ", "));
}

std::string optionsText(const std::map<std::string, std::string>& options) {
    std::vector<std::string> pairs;
    pairs.reserve(options.size());
    for (const auto& [key, value] : options) {
        pairs.push_back(fmt::format("{} = {}", key, value));
    }
    return fmt::format("{{{}}}", fmt::join(pairs, ", "));
}

}  // namespace

CentralLifecycle::CentralLifecycle(const Dependencies& deps)
    : clock_(deps.clock),
      mainQueue_(deps.mainQueue),
      bluetoothQueue_(deps.bluetoothQueue),
      bluetooth_(deps.bluetooth),
      delegate_(deps.delegate),
      settings_(deps.settings),
      log_(deps.logSink, "BT"),
      pipeline_(deps.pipeline),
      discovery_(deps.discovery),
      connections_(deps.connections),
      bluetoothPermissionStatus_(deps.bluetooth.authorization()) {}

CentralLifecycle::~CentralLifecycle() {
    // Dropping the central first ends its callbacks while everything they reach still exists.
    central_.reset();
}

bool CentralLifecycle::canScan() const {
    return settings_.boolForKey(keys::canScan);
}

bool CentralLifecycle::isCentralPoweredOn() const {
    return central_ && central_->state() == BleManagerState::poweredOn;
}

int CentralLifecycle::stateForLog() const {
    return central_ ? rawValue(central_->state()) : -1;
}

// --- The central ---

void CentralLifecycle::setupCentralManager() {
    if (central_) {
        return;
    }
    BleCentralOptions options;
    options.showPowerAlert = true;
    options.restoreIdentifier = std::string(kRestoreIdentifier);
    // Bumped before the central exists: its first callback may arrive before createCentral
    // returns and must already carry the new generation.
    centralGeneration_.fetch_add(1, std::memory_order_acq_rel);
    central_ = bluetooth_.createCentral(delegate_, bluetoothQueue_, options);
    if (central_) {
        startPresenceTimer();
    }
}

void CentralLifecycle::startPresenceTimer() {
    noSignalTimer_ = mainQueue_.scheduleRepeating(
        kPresenceTickInterval, 0.0, liveness_.guarded([this] { pipeline_.evaluatePresence(); }));
}

void CentralLifecycle::stopPresenceTimer() {
    noSignalTimer_.cancel();
}

// --- Scanning ---

void CentralLifecycle::startScanning() {
    if (!canScan()) {
        log_.info("Scan not allowed, stopping scan.");
        stopScanning();
        return;
    }
    setupCentralManager();
    if (!central_) {
        log_.error("Central manager not available");
        return;
    }
    if (currentScanMode_ == ScanMode::monitoring) {
        startMonitoringScan();
    } else {
        startOnboardingScan();
    }
}

void CentralLifecycle::startOnboardingScan() {
    if (isScanning_.get()) {
        return;
    }
    log_.info("Starting continuous scanning for onboarding");
    if (!isCentralPoweredOn()) {
        log_.error("Cannot start continuous scanning - Bluetooth not powered on (state: {})",
                   stateForLog());
        return;
    }
    isScanning_.set(true);
    // Onboarding lists only what is around now.
    discovery_.clearDiscoveredDevices();
    central_->scanForPeripherals(settings_.boolForKey(keys::scanAllowDuplicates));
}

void CentralLifecycle::startMonitoringScan() {
    if (isScanning_.get()) {
        return;
    }
    if (!isCentralPoweredOn()) {
        log_.error("Cannot start monitoring scan - Bluetooth not powered on (state: {})",
                   stateForLog());
        return;
    }
    log_.info("Starting continuous scanning for monitoring");
    const TrackedSelection::Snapshot tracked = discovery_.selection().snapshot();
    if (tracked.identifier) {
        log_.info("Tracked device: {} ({}, beacon identity: {})",
                  settings_.stringForKey(keys::checkedPeripheralName).value_or("unnamed"),
                  tracked.identifier->toString(),
                  tracked.beaconIdentity.value_or("none - tracked by identifier"));
    } else {
        log_.info("Tracked device: none selected");
    }
    isScanning_.set(true);
    // Read at each scan start only: a changed setting applies from the next scan on.
    const bool allowDuplicates = settings_.boolForKey(keys::scanAllowDuplicates);
    log_.info("Scan duplicates: {}",
              allowDuplicates ? "ON (scanAllowDuplicates)" : "off (default)");
    central_->scanForPeripherals(allowDuplicates);
    startPresenceTimer();
}

void CentralLifecycle::stopScanning() {
    if (!isScanning_.get()) {
        return;
    }
    log_.info("Stopping scan.");
    if (central_) {
        central_->stopScan();
    }
    isScanning_.set(false);
}

void CentralLifecycle::stopScanningPermanently() {
    log_.info("Stopping scan permanently");
    mainQueue_.post(liveness_.guarded([this] { finishStoppingPermanently(); }));
}

void CentralLifecycle::finishStoppingPermanently() {
    noSignalTimer_.cancel();
    connections_.tearDownConnectionFeed("scanning stopped", false);
    if (isScanning_.get()) {
        // A central dropped by a reset has stopped its scan by going away.
        if (central_) {
            central_->stopScan();
        }
        isScanning_.set(false);
        isScanTriggered_.set(false);
    }
}

void CentralLifecycle::setScanMode(bool onboarding) {
    currentScanMode_ = onboarding ? ScanMode::onboarding : ScanMode::monitoring;
    log_.debug("Scanning mode set to: {}", toString(currentScanMode_));
    if (onboarding) {
        connections_.setOnboardingCalibrationConnectAllowed(false);
        connections_.tearDownConnectionFeed("onboarding", false);
    }
}

void CentralLifecycle::setCanScan(bool canScan) {
    settings_.setBool(keys::canScan, canScan);
    if (!canScan) {
        stopScanningPermanently();
    } else if (isCentralPoweredOn()) {
        startScanning();
    }
}

void CentralLifecycle::setScanTriggered(bool triggered) {
    isScanTriggered_.set(triggered);
    if (triggered) {
        startScanning();
    }
}

// --- Power and permission ---

void CentralLifecycle::centralDidUpdateState(BleManagerState state) {
    const std::uint64_t generation = centralGeneration_.load(std::memory_order_acquire);
    mainQueue_.post(liveness_.guarded([this, state, generation] {
        // The central that reported this may have been dropped by a reset meanwhile; its
        // state says nothing about the one that replaced it.
        if (!central_ || generation != centralGeneration_.load(std::memory_order_acquire)) {
            return;
        }
        handleCentralStateChange(state);
    }));
}

void CentralLifecycle::handleCentralStateChange(BleManagerState state) {
    switch (state) {
        case BleManagerState::poweredOn:
            error_.set(std::nullopt);
            log_.debug("Bluetooth state: Powered On");
            pipeline_.clearBufferAndFailures();
            bluetoothPermissionStatus_.set(bluetooth_.authorization());
            connections_.tearDownConnectionFeed("power on normalize", false);
            if (std::exchange(restoredLinkPending_, false)) {
                connections_.attemptConnection("state-restore");
            }
            if (canScan()) {
                mainQueue_.postAfter(kPowerOnScanDelay,
                                     liveness_.guarded([this] { startScanning(); }));
            }
            startPresenceTimer();
            return;
        case BleManagerState::unauthorized:
            error_.set(std::string(kAccessDeniedError));
            pipeline_.forcePresenceGone("Bluetooth unauthorized");
            stopScanningPermanently();
            pipeline_.recordRSSIFailure("Bluetooth unauthorized");
            log_.debug("Bluetooth state: Unauthorized");
            bluetoothPermissionStatus_.set(BleAuthorization::denied);
            bluetoothLost_.emit(BluetoothLoss::unauthorized);
            return;
        case BleManagerState::poweredOff:
            error_.set(std::string(kPoweredOffError));
            pipeline_.forcePresenceGone("Bluetooth off");
            stopScanningPermanently();
            log_.debug("Bluetooth state: Powered Off");
            pipeline_.recordRSSIFailure("Bluetooth powered off");
            bluetoothLost_.emit(BluetoothLoss::poweredOff);
            return;
        case BleManagerState::unknown:
        case BleManagerState::resetting:
        case BleManagerState::unsupported:
            break;
    }
    // Unavailable for now: no presence change, since the stack may come back by itself.
    error_.set(std::string(kUnavailableError));
    stopScanningPermanently();
    pipeline_.recordRSSIFailure("Bluetooth unavailable");
    bluetoothLost_.emit(BluetoothLoss::unavailable);
}

void CentralLifecycle::publishPermission(BleAuthorization authorization) {
    mainQueue_.post(liveness_.guarded(
        [this, authorization] { bluetoothPermissionStatus_.set(authorization); }));
}

bool CentralLifecycle::checkBluetoothPermission() {
    const BleAuthorization authorization = bluetooth_.authorization();
    publishPermission(authorization);
    switch (authorization) {
        case BleAuthorization::restricted:
        case BleAuthorization::denied:
            mainQueue_.post(
                liveness_.guarded([this] { error_.set(std::string(kAccessDeniedError)); }));
            return false;
        case BleAuthorization::notDetermined:
            // Creating the central is what makes the system ask the user.
            setupCentralManager();
            return true;
        case BleAuthorization::allowedAlways:
            return true;
    }
    return false;
}

BleAuthorization CentralLifecycle::refreshPermissionStatus() {
    const BleAuthorization authorization = bluetooth_.authorization();
    publishPermission(authorization);
    return authorization;
}

// --- Reset ---

void CentralLifecycle::resetBluetooth() {
    const Instant now = clock_.now();
    if (lastBluetoothResetTime_) {
        const double elapsed = secondsBetween(*lastBluetoothResetTime_, now);
        if (elapsed < kResetCooldownPeriod) {
            log_.debug("Bluetooth reset skipped due to cooldown period ({:.1f}s remaining)",
                       kResetCooldownPeriod - elapsed);
            return;
        }
    }
    log_.debug("Resetting centralManager (enhanced strategy)");
    lastBluetoothResetTime_ = now;
    restoredLinkPending_ = false;  // the link belonged to the central being dropped
    connections_.tearDownConnectionFeed("central reset", false);
    stopScanningPermanently();
    centralGeneration_.fetch_add(1, std::memory_order_acq_rel);
    central_.reset();
    resetSignalState();
    mainQueue_.postAfter(kResetContinuationDelay, liveness_.guarded([this] { finishReset(); }));
}

void CentralLifecycle::finishReset() {
    setupCentralManager();
    mainQueue_.post(liveness_.guarded([this] { discovery_.publishDeviceList(); }));
    // A central that is not powered on yet resumes scanning from its power-on state instead.
    if (canScan() && isCentralPoweredOn()) {
        startScanning();
    }
}

void CentralLifecycle::resetSignalState() {
    pipeline_.resetSignalState();
}

// --- Restoration (Bluetooth executor) ---

void CentralLifecycle::restoreCentralState(const BleRestoredState& restored) {
    log_.debug("Restoring central manager state");
    if (restored.peripherals) {
        discovery_.restorePeripherals(*restored.peripherals);
        const std::optional<Uuid> tracked = discovery_.selection().identifier();
        const bool trackedLinkKept =
            tracked &&
            std::any_of(restored.peripherals->begin(), restored.peripherals->end(),
                        [&](const PeripheralRef& peripheral) {
                            return peripheral && peripheral->identifier() == *tracked &&
                                   peripheral->state() == PeripheralConnectionState::connected;
                        });
        if (trackedLinkKept) {
            // Restoration comes before the central knows it is powered on, and a link is only
            // adopted from a powered-on central; until then the attempt waits.
            mainQueue_.post(liveness_.guarded([this] {
                if (isCentralPoweredOn()) {
                    connections_.attemptConnection("state-restore");
                } else {
                    restoredLinkPending_ = true;
                }
            }));
        }
    }
    if (restored.scanServices) {
        log_.debug("Restored scan services: {}", listText(*restored.scanServices));
    }
    if (restored.scanOptions) {
        log_.debug("Restored scan options: {}", optionsText(*restored.scanOptions));
    }
    // The central and the switch belong to the main queue, so they are looked at there.
    mainQueue_.post(liveness_.guarded([this] {
        if (canScan() && isCentralPoweredOn()) {
            startScanning();
        }
    }));
}

}  // namespace ambleguard
