#include "app/SignalGraphModel.h"

#include <algorithm>

namespace ambleguard {

void SignalGraphModel::sample(Instant now, int latest, std::optional<Instant> lastReading,
                              const std::optional<std::string>& storedPresence) {
    if (!lastReading || latest < -126) {
        isStale_ = false;
        return;
    }
    const double age = secondsBetween(*lastReading, now);
    if (age > kReadingFreshness) {
        isStale_ = age > kStaleDisplayThreshold;
        return;
    }
    isStale_ = false;
    history_.push_back({latest, !storedPresence || *storedPresence == "Present"});
    while (history_.size() > static_cast<std::size_t>(kMaxPoints)) {
        history_.pop_front();
    }
}

SignalGraphModel::Scale SignalGraphModel::scale(const std::deque<RSSISample>& samples,
                                                double threshold) {
    // Truncated toward zero, as the threshold is shown in whole dBm.
    const int limit = static_cast<int>(threshold);
    int lo = limit;
    int hi = limit;
    for (const RSSISample& s : samples) {
        lo = std::min(lo, s.value);
        hi = std::max(hi, s.value);
    }
    Scale result{lo - 10, hi + 10};
    if (result.span() < 50) {
        const int half = (50 - result.span()) / 2;
        result.lower -= half;
        result.upper += half;
    }
    return result;
}

double SignalGraphModel::x(int index, double width, double labelWidth) {
    return kPlotInset + index * (width - labelWidth - 2 * kPlotInset) / (kMaxPoints - 1);
}

double SignalGraphModel::y(double value, const Scale& scale, double height) {
    const double clamped =
        std::clamp(value, static_cast<double>(scale.lower), static_cast<double>(scale.upper));
    return height - (clamped - scale.lower) * height / scale.span();
}

}  // namespace ambleguard
