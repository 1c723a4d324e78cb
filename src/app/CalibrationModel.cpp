#include "app/CalibrationModel.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace ambleguard {

namespace {

// Whole dBm as the screen shows them: halves away from zero.
long wholeDbm(double value) {
    return std::lround(value);
}

}  // namespace

void CalibrationModel::tick(double filteredRSSI, std::optional<Instant> readingTime, Instant now) {
    const bool counts = readingTime && secondsBetween(*readingTime, now) <= kReadingFreshness &&
                        filteredRSSI >= kWeakestReading;
    if (!counts) {
        validSampleCount_ = 0;
        hasValidReading_ = false;
        return;
    }
    smoothedRSSI_ = filteredRSSI;
    history_.push_back(filteredRSSI);
    while (history_.size() > kMaxPoints) {
        history_.pop_front();
    }
    validSampleCount_ = std::min(validSampleCount_ + 1, kStableSampleThreshold + 1);
    if (validSampleCount_ >= kStableSampleThreshold) {
        hasValidReading_ = true;
    }
}

CalibrationModel::Status CalibrationModel::status(const Thresholds& thresholds) const {
    if (!hasValidReading_) {
        return Status::listening;
    }
    if (smoothedRSSI_ >= thresholds.averageMinRSSI + thresholds.returnBuffer) {
        return Status::present;
    }
    if (smoothedRSSI_ < thresholds.averageMinRSSI - thresholds.awayBuffer) {
        return Status::away;
    }
    return Status::weakSignal;
}

std::string_view CalibrationModel::statusWord(Status status) {
    switch (status) {
        case Status::listening:
            return "Listening";
        case Status::present:
            return "Present";
        case Status::weakSignal:
            return "Weak signal";
        case Status::away:
            return "Away";
    }
    return "Listening";
}

std::optional<std::string> CalibrationModel::warning(double averageMinRSSI) const {
    if (!hasValidReading_ || smoothedRSSI_ - averageMinRSSI >= kDipMargin) {
        return std::nullopt;
    }
    return fmt::format(
        "Signal here right now is {} dBm but it could go 10-20 dBm deeper due to interfence. A "
        "threshold of {} dBm will make app think you left while you still here. Keep it at or "
        "below {} dBm.",
        wholeDbm(smoothedRSSI_), wholeDbm(averageMinRSSI), wholeDbm(smoothedRSSI_ - kDipMargin));
}

std::optional<double> CalibrationModel::dragTo(double translationY, double plotHeight) const {
    if (!dragStartThreshold_ || !(plotHeight > 0) || !std::isfinite(translationY)) {
        return std::nullopt;
    }
    // Up the plot is a stronger signal: moving the pointer down lowers the threshold.
    const double dbmPerPixel = (kYMax - kYMin) / plotHeight;
    return clampedThreshold(std::round(*dragStartThreshold_ - translationY * dbmPerPixel));
}

double CalibrationModel::steppedThreshold(double threshold, int steps) {
    return clampedThreshold(std::round(threshold) + steps);
}

double CalibrationModel::clampedThreshold(double threshold) {
    if (!std::isfinite(threshold)) {
        return kYMin;
    }
    return std::clamp(threshold, kYMin, kYMax);
}

}  // namespace ambleguard
