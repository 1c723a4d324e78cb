#pragma once

#include <string_view>

namespace ambleguard {

// What the application lifecycle asks of the Bluetooth scanner: run or stop scanning as the
// gate decides, and drop everything it believes about the device when the computer sleeps.
// Main queue only.
class ScanGateTarget {
  public:
    virtual ~ScanGateTarget() = default;
    // Starts the scan of the current mode (the scanner itself stops when `canScan` is off).
    virtual void startScanning() = 0;
    // Stops the scan, the presence tick and the connection feed until the next start.
    virtual void stopScanningPermanently() = 0;
    // Forgets the short-term reading state (buffer, failure counts, filter).
    virtual void resetSignalState() = 0;
    // Declares the device gone and publishes that as the presence state, naming `source`.
    virtual void forcePresenceGone(std::string_view source) = 0;
    // The computer woke with the device declared gone by the sleep: if it is not heard again
    // within the usual departure window, that silence is a departure of its own.
    virtual void awaitPresenceAfterWake() = 0;
};

}  // namespace ambleguard
