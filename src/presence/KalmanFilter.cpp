#include "presence/KalmanFilter.h"

#include <algorithm>
#include <cmath>

namespace ambleguard {

KalmanFilter::Tuning KalmanFilter::tuningFor(DetectionMode mode) {
    switch (mode) {
        case DetectionMode::responsive:
            return Tuning{0.4, 1.5, 1.25, 0.6};
        case DetectionMode::stable:
            return Tuning{0.07, 5.0, 3.0, 0.25};
        case DetectionMode::balanced:
            break;
    }
    return Tuning{0.25, 2.0, 1.5, 0.5};
}

KalmanFilter::KalmanFilter(double initialMeasurement, DetectionMode mode)
    : stateEstimate_(initialMeasurement) {
    const Tuning tuning = tuningFor(mode);
    processNoise_ = tuning.processNoise;
    measurementNoise_ = tuning.measurementNoise;
    adaptiveNoiseCap_ = tuning.adaptiveNoiseCap;
    velocityAlphaCap_ = tuning.velocityAlphaCap;
}

double KalmanFilter::adaptiveMeasurementNoise() const {
    const std::size_t count = recentMeasurements_.size();
    if (count < 3) {
        return measurementNoise_;
    }
    double sum = 0;
    for (double value : recentMeasurements_) {
        sum += value;
    }
    const double mean = sum / static_cast<double>(count);
    double squares = 0;
    for (double value : recentMeasurements_) {
        squares += (value - mean) * (value - mean);
    }
    // Population deviation: the history is the whole sample, not an estimate of a larger one.
    const double deviation = std::sqrt(squares / static_cast<double>(count));
    return std::max(0.5 * measurementNoise_, std::min(measurementNoise_ * adaptiveNoiseCap_,
                                                      measurementNoise_ + 0.5 * deviation));
}

double KalmanFilter::update(Instant now, double z) {
    // A reading can arrive out of order or after a long pause; neither may make the
    // prediction run backwards or far ahead.
    double dt = lastUpdateTime_ ? secondsBetween(*lastUpdateTime_, now) : 1.0;
    lastUpdateTime_ = now;
    if (!(dt >= 0.0)) {
        dt = 0.0;
    }
    dt = std::min(dt, 5.0);

    const double predictedEstimate = stateEstimate_ + dt * velocity_;
    const double predictedCovariance = errorCovariance_ + dt * processNoise_;
    const double predictedVelocityCovariance = velocityCovariance_ + dt * velocityProcessNoise_;

    const double r = adaptiveMeasurementNoise();

    const double gain = predictedCovariance / (predictedCovariance + r);
    stateEstimate_ = predictedEstimate + gain * (z - predictedEstimate);
    errorCovariance_ = predictedCovariance * (1.0 - gain);

    const double correction = stateEstimate_ - predictedEstimate;
    if (dt >= 0.1) {
        const double rate = std::clamp(correction / dt, -100.0, 100.0);
        const double alpha = std::min(0.5 * dt, velocityAlphaCap_);
        velocity_ = alpha * rate + (1.0 - alpha) * velocity_;
    } else if (dt > 0.0) {
        // Bursts of readings would turn tiny corrections into huge rates; damp them hard.
        const double rate = std::clamp(correction / 0.1, -100.0, 100.0);
        velocity_ = 0.05 * rate + 0.95 * velocity_;
    }

    velocityCovariance_ = predictedVelocityCovariance *
                          (1.0 - predictedVelocityCovariance /
                                     (predictedVelocityCovariance + r / std::max(dt * dt, 0.01)));

    recentMeasurements_.push_back(z);

    trendSamples_.push_back(TrendSample{now, z});
    oldestTrendTime_ = std::min(oldestTrendTime_, now);
    // Older than the window: more than 8.0 s before now, so an entry exactly 8.0 s old stays.
    // Times may arrive out of order, so old entries are not necessarily at the front.
    const Instant cutoff = addSeconds(now, -trendWindow);
    if (oldestTrendTime_ < cutoff) {
        trendSamples_.eraseIf([cutoff](const TrendSample& sample) { return sample.time < cutoff; });
        oldestTrendTime_ = Instant::max();
        for (const auto& sample : trendSamples_) {
            oldestTrendTime_ = std::min(oldestTrendTime_, sample.time);
        }
    }
    while (trendSamples_.size() > static_cast<std::size_t>(trendMaxSamples)) {
        trendSamples_.pop_front();
    }

    return stateEstimate_;
}

}  // namespace ambleguard
