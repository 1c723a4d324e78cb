#pragma once

#include "base/Time.h"
#include "presence/BoundedHistory.h"
#include "presence/DetectionMode.h"

#include <optional>

namespace ambleguard {

// Smooths raw RSSI readings into a signal estimate (dBm) with a velocity (dB/s), trusting new
// readings less when the recent ones were noisy. One filter serves one run of readings: it is
// built from the first reading and replaced, never reset, when the run ends.
class KalmanFilter {
  public:
    struct TrendSample {
        Instant time;
        double rssi = 0;
    };

    // The per-mode tuning, fixed for the filter's life.
    struct Tuning {
        double processNoise;
        double measurementNoise;
        double adaptiveNoiseCap;  // ceiling of the adaptive variance, as a multiple of R0
        double velocityAlphaCap;
    };
    static Tuning tuningFor(DetectionMode mode);

    static constexpr int maxRecentMeasurements = 10;
    static constexpr double trendWindow = 8.0;
    static constexpr int trendMinSamples = 3;
    static constexpr double trendMinSpan = 1.5;
    static constexpr int trendMaxSamples = 40;

    KalmanFilter(double initialMeasurement, DetectionMode mode);

    // One predict/correct step with measurement `z` taken at `now`; returns the new estimate.
    double update(Instant now, double z);

    double stateEstimate() const { return stateEstimate_; }
    double errorCovariance() const { return errorCovariance_; }
    double velocity() const { return velocity_; }
    double velocityCovariance() const { return velocityCovariance_; }
    double processNoise() const { return processNoise_; }
    double measurementNoise() const { return measurementNoise_; }
    double velocityProcessNoise() const { return velocityProcessNoise_; }
    double adaptiveNoiseCap() const { return adaptiveNoiseCap_; }
    double velocityAlphaCap() const { return velocityAlphaCap_; }
    std::optional<Instant> lastUpdateTime() const { return lastUpdateTime_; }
    const BoundedHistory<double, maxRecentMeasurements>& recentMeasurements() const {
        return recentMeasurements_;
    }
    // Kept for a slope estimate; one more slot than the limit so that an update can append
    // before trimming.
    const BoundedHistory<TrendSample, trendMaxSamples + 1>& trendSamples() const {
        return trendSamples_;
    }

    // The measurement variance the next update would use, from the recent measurements.
    double adaptiveMeasurementNoise() const;

  private:
    double stateEstimate_;
    double errorCovariance_ = 10.0;
    double velocity_ = 0.0;
    double velocityCovariance_ = 1.0;
    double processNoise_;
    double measurementNoise_;
    double velocityProcessNoise_ = 0.05;
    double adaptiveNoiseCap_;
    double velocityAlphaCap_;
    std::optional<Instant> lastUpdateTime_;
    BoundedHistory<double, maxRecentMeasurements> recentMeasurements_;
    BoundedHistory<TrendSample, trendMaxSamples + 1> trendSamples_;
    // No trend sample is older than this; lets most updates skip the pass over the samples.
    Instant oldestTrendTime_ = Instant::max();
};

}  // namespace ambleguard
