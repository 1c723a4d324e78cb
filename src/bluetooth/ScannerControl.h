#pragma once

namespace ambleguard {

// What the reactions to presence need from the scanner (main thread).
class ScannerControl {
  public:
    virtual ~ScannerControl() = default;
    // True while a central manager exists and reports that Bluetooth is powered on.
    virtual bool isCentralPoweredOn() const = 0;
    // Restarts the Bluetooth stack when it looks stuck; may decline during its cooldown.
    virtual void resetBluetooth() = 0;
    virtual void startScanning() = 0;
    // (Re)starts the 1-second presence evaluation tick.
    virtual void startPresenceTimer() = 0;
};

}  // namespace ambleguard
