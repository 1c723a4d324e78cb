#include "platform/sim/RssiTimeline.h"

#include <algorithm>

namespace ambleguard::sim {

RssiTimeline::RssiTimeline(std::vector<SimRssiPoint> points) : points_(std::move(points)) {
    std::stable_sort(points_.begin(), points_.end(),
                     [](const SimRssiPoint& a, const SimRssiPoint& b) { return a.at < b.at; });
}

long RssiTimeline::indexAt(double t) const {
    const auto after =
        std::upper_bound(points_.begin(), points_.end(), t,
                         [](double value, const SimRssiPoint& p) { return value < p.at; });
    return static_cast<long>(after - points_.begin()) - 1;
}

std::optional<RssiTimeline::Sample> RssiTimeline::at(double t) const {
    const long i = indexAt(t);
    if (i < 0 || !points_[static_cast<std::size_t>(i)].dbm) {
        return std::nullopt;
    }
    const SimRssiPoint& point = points_[static_cast<std::size_t>(i)];
    Sample sample{*point.dbm, point.advertising};
    const auto next = static_cast<std::size_t>(i) + 1;
    if (next < points_.size() && points_[next].dbm && points_[next].at > point.at) {
        const double fraction = (t - point.at) / (points_[next].at - point.at);
        sample.dbm = *point.dbm + (*points_[next].dbm - *point.dbm) * fraction;
    }
    return sample;
}

bool RssiTimeline::advertising(double t) const {
    const auto sample = at(t);
    return sample && sample->advertising;
}

template <typename Pred>
std::optional<double> RssiTimeline::nextFrom(double t, Pred matches) const {
    const long i = indexAt(t);
    if (matches(i < 0 ? nullptr : &points_[static_cast<std::size_t>(i)])) {
        return t;
    }
    for (auto j = static_cast<std::size_t>(i + 1); j < points_.size(); ++j) {
        if (matches(&points_[j])) {
            return points_[j].at;
        }
    }
    return std::nullopt;
}

std::optional<double> RssiTimeline::nextAdvertisingFrom(double t) const {
    return nextFrom(t, [](const SimRssiPoint* p) { return p && p->dbm && p->advertising; });
}

std::optional<double> RssiTimeline::nextInRangeFrom(double t) const {
    return nextFrom(t, [](const SimRssiPoint* p) { return p && p->dbm; });
}

std::optional<double> RssiTimeline::nextOutOfRangeFrom(double t) const {
    return nextFrom(t, [](const SimRssiPoint* p) { return !p || !p->dbm; });
}

}  // namespace ambleguard::sim
