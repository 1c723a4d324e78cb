#pragma once

#include <string_view>

namespace ambleguard {

// The connection feed as the rest of the scanner sees it (main thread).
class ConnectionAttempts {
  public:
    virtual ~ConnectionAttempts() = default;
    // May start a connect attempt to the tracked device; `trigger` names why ("discovery",
    // "state-restore", "grace-window").
    virtual void attemptConnection(std::string_view trigger) = 0;
    // Ends a running feed; with `cooldown` the next attempt waits a moment.
    virtual void tearDownConnectionFeed(std::string_view reason, bool cooldown) = 0;
    // Lets the feed run while the scan is an onboarding scan (for the signal calibration).
    virtual void setOnboardingCalibrationConnectAllowed(bool allowed) = 0;
};

}  // namespace ambleguard
