#pragma once

#include "base/Time.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace ambleguard {

// What the threshold screen of onboarding knows about the chosen device's signal while the
// user sets the threshold: the readings polled four times a second, the recent history the
// chart plots, whether there is a usable reading at all, the status word, the warning against a
// threshold too close to the signal, and how dragging the threshold line moves the threshold.
// Holds no settings: the caller passes the stored values in and writes what comes out.
class CalibrationModel {
  public:
    static constexpr double kPollInterval = 0.25;
    // The chart's dBm range; the threshold is kept inside it.
    static constexpr double kYMin = -90.0;
    static constexpr double kYMax = -40.0;
    static constexpr std::size_t kMaxPoints = 60;
    static constexpr int kStableSampleThreshold = 1;
    // A reading older than this says nothing about where the device is now.
    static constexpr double kReadingFreshness = 6.0;
    // How much deeper than now the signal of a device lying in the same place can dip.
    static constexpr double kDipMargin = 14.0;
    // -127 means "no reading"; anything weaker than this is not a signal level.
    static constexpr double kWeakestReading = -126.0;
    static constexpr double kNoReading = -127.0;

    struct Thresholds {
        double averageMinRSSI = -67.0;
        double returnBuffer = 4.0;
        double awayBuffer = 4.0;
    };

    enum class Status { listening, present, weakSignal, away };

    // One poll: the latest filtered reading in dBm and when it was taken (absent: no reading
    // since the signal state was last cleared). A fresh reading joins the history; anything
    // else empties the valid-sample count but leaves the plotted history alone.
    void tick(double filteredRSSI, std::optional<Instant> readingTime, Instant now);

    double smoothedRSSI() const { return smoothedRSSI_; }
    bool hasValidReading() const { return hasValidReading_; }
    int validSampleCount() const { return validSampleCount_; }
    // Oldest first, at most kMaxPoints.
    const std::deque<double>& history() const { return history_; }

    Status status(const Thresholds& thresholds) const;
    static std::string_view statusWord(Status status);

    // The advice shown when the threshold sits within the dip margin of the current signal.
    std::optional<std::string> warning(double averageMinRSSI) const;

    // Dragging the threshold line: the threshold at the start of the drag is held, and each
    // move sets the threshold from it and the pointer's vertical travel (downwards positive)
    // over a plot `plotHeight` pixels tall. Whole dBm, kept within the chart's range.
    void beginDrag(double threshold) { dragStartThreshold_ = threshold; }
    std::optional<double> dragTo(double translationY, double plotHeight) const;
    void endDrag() { dragStartThreshold_.reset(); }
    bool isDragging() const { return dragStartThreshold_.has_value(); }

    // The threshold moved by whole dBm steps (the keyboard's way to drag), within the range.
    static double steppedThreshold(double threshold, int steps);
    static double clampedThreshold(double threshold);

  private:
    double smoothedRSSI_ = kNoReading;
    std::deque<double> history_;
    bool hasValidReading_ = false;
    int validSampleCount_ = 0;
    std::optional<double> dragStartThreshold_;
};

}  // namespace ambleguard
