#pragma once

#include "base/Time.h"

#include <deque>
#include <optional>
#include <string>

namespace ambleguard {

// One point of the live signal graph: the filtered reading and whether the device was
// published as present when it was taken.
struct RSSISample {
    int value = 0;
    bool wasPresent = true;
};

// The live graph's data and scale: samples taken every two seconds from the latest fresh
// reading, at most 20 kept; a device silent for more than 30 s marks the graph stale.
class SignalGraphModel {
  public:
    static constexpr int kMaxPoints = 20;
    static constexpr double kPlotInset = 6.0;
    static constexpr double kAxisLabelWidth = 38.0;
    static constexpr double kReadingFreshness = 6.0;
    static constexpr double kStaleDisplayThreshold = 30.0;
    static constexpr double kSamplingInterval = 2.0;

    // One sampling tick. `latest` is the latest filtered reading (-127: none), `lastReading`
    // when it came, `storedPresence` the persisted presence text (nothing when none is stored).
    void sample(Instant now, int latest, std::optional<Instant> lastReading,
                const std::optional<std::string>& storedPresence);

    const std::deque<RSSISample>& history() const { return history_; }
    bool isStale() const { return isStale_; }

    // The plotted dBm range: the samples and the threshold with 10 dB to spare on each side,
    // widened to at least 50 dB around its middle.
    struct Scale {
        int lower = 0;
        int upper = 0;
        int span() const { return upper - lower; }
    };
    static Scale scale(const std::deque<RSSISample>& samples, double threshold);
    // Where sample `index` sits across a plot `width` wide (the right edge, `labelWidth` wide,
    // holds the axis labels).
    static double x(int index, double width, double labelWidth = kAxisLabelWidth);
    // Where `value` sits down a plot `height` high (clamped into the scale).
    static double y(double value, const Scale& scale, double height);

  private:
    std::deque<RSSISample> history_;
    bool isStale_ = false;
};

}  // namespace ambleguard
