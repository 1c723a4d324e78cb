#pragma once

#include <string_view>

namespace ambleguard {

// Where the producers of readings (advertisement discovery, the connection feed) hand the
// tracked device's RSSI: the reading pipeline. Called on the Bluetooth executor.
class ReadingSink {
  public:
    virtual ~ReadingSink() = default;
    // One raw reading in dBm (0 and 127 take the pipeline's rejection paths).
    virtual void processRSSI(int raw) = 0;
    // A failed reading or a lost Bluetooth stack, counted as a failure with its reason.
    virtual void recordRSSIFailure(std::string_view reason) = 0;
};

// The pipeline's reading state that the tracked-device selection resets (main thread).
class SignalStateResets {
  public:
    virtual ~SignalStateResets() = default;
    // Drop the filter, zero the failure count and time, forget the last reading time, and
    // set the shared filtered and average readings back to "no reading" (-127).
    virtual void shortReset() = 0;
    // Empty the presence engine's readings and probe times and the display buffer, then the
    // short reset. The engine's state is kept.
    virtual void fullReset() = 0;
    // Drop the filter only (the detection mode changed); the next reading builds a new one.
    virtual void dropFilter() = 0;
};

}  // namespace ambleguard
