#pragma once

namespace ambleguard {

// Everything one presence evaluation needs to know about the user's tuning and the fixed
// limits. Built fresh for every evaluation, so a changed setting applies at the next one.
struct PresenceThresholds {
    double threshold = -67.0;      // dBm
    double awayBuffer = 4.0;       // dB below the threshold that counts as weak
    double returnBuffer = 4.0;     // dB above the threshold a return must reach
    double lastSeenTimeout = 1.0;  // s: how long evidence must last before the device is gone
    double weakSilenceLimit = 8.0;
    double strongSilenceLimit = 30.0;
    bool suppressSuddenSignalLoss = false;
    double probeConnectCooldown = 10.0;
    double probeResetSilence = 20.0;
    double probeResetCooldown = 30.0;
    double freshWindow = 6.0;
    int minFreshReadings = 1;
    int minSpanReadings = 3;
    double minSpan = 1.5;

    double awayThreshold() const { return threshold - awayBuffer; }
    double returnThreshold() const { return threshold + returnBuffer; }
};

}  // namespace ambleguard
