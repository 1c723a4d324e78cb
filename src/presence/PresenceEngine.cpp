#include "presence/PresenceEngine.h"

#include <array>
#include <utility>

namespace ambleguard {

namespace {

// The median of up to three values: sorted ascending, the element at count / 2 (of two
// values, the higher one).
class SmallMedian {
  public:
    void add(int value) { values_[count_++] = value; }
    int count() const { return static_cast<int>(count_); }
    int median() {
        // Insertion sort: at most three values.
        for (std::size_t i = 1; i < count_; ++i) {
            for (std::size_t j = i; j > 0 && values_[j - 1] > values_[j]; --j) {
                std::swap(values_[j - 1], values_[j]);
            }
        }
        return values_[count_ / 2];
    }

  private:
    std::array<int, 3> values_{};
    std::size_t count_ = 0;
};

}  // namespace

void PresenceEngine::ingest(int rssi, Instant time) {
    if (!readings_.empty() && time < readings_.back().time) {
        return;
    }
    readings_.push_back(Reading{time, rssi});
}

void PresenceEngine::clearHistory() {
    readings_.clear();
    lastProbeConnect_.reset();
    lastProbeReset_.reset();
}

std::optional<PresenceEngine::Evidence> PresenceEngine::evidenceAt(
    Instant now, const PresenceThresholds& t) const {
    const std::size_t count = readings_.size();
    const std::size_t firstOfLastThree = count > 3 ? count - 3 : 0;
    const double awayThreshold = t.awayThreshold();
    auto isFresh = [&](const Reading& reading) {
        return secondsBetween(reading.time, now) <= t.freshWindow;
    };

    SmallMedian fresh;
    SmallMedian plain;
    for (std::size_t i = firstOfLastThree; i < count; ++i) {
        plain.add(readings_[i].rssi);
        if (isFresh(readings_[i])) {
            fresh.add(readings_[i].rssi);
        }
    }
    std::optional<int> freshMedian;
    if (fresh.count() > 0 && fresh.count() >= t.minFreshReadings) {
        freshMedian = fresh.median();
    }

    const Reading& newest = readings_.back();
    const bool spansEnough = static_cast<int>(count) >= t.minSpanReadings &&
                             secondsBetween(readings_.front().time, newest.time) >= t.minSpan;
    if (freshMedian && *freshMedian < awayThreshold && spansEnough && isFresh(newest) &&
        newest.rssi < awayThreshold) {
        return Evidence::weak;
    }

    // Silence after a weak signal is believed sooner than silence after a strong one, which
    // is more likely a radio hiccup than a departure.
    std::optional<double> silenceLimit;
    if (plain.count() > 0 && plain.median() < awayThreshold) {
        silenceLimit = t.weakSilenceLimit;
    } else if (!t.suppressSuddenSignalLoss) {
        silenceLimit = t.strongSilenceLimit;
    }
    const double silence = secondsBetween(newest.time, now);
    if (silenceLimit && silence > *silenceLimit) {
        return Evidence::silent;
    }
    return std::nullopt;
}

bool PresenceEngine::strongReturnAt(Instant now, const PresenceThresholds& t) const {
    const std::size_t count = readings_.size();
    if (count < 2) {
        return false;
    }
    for (std::size_t i = count - 2; i < count; ++i) {
        const Reading& reading = readings_[i];
        if (secondsBetween(reading.time, now) > t.freshWindow ||
            reading.rssi < t.returnThreshold()) {
            return false;
        }
    }
    return true;
}

std::optional<PresenceEngine::Effect> PresenceEngine::transition(Instant now,
                                                                 std::optional<Evidence> evidence,
                                                                 bool strong,
                                                                 const PresenceThresholds& t) {
    if (std::holds_alternative<Present>(state_)) {
        if (evidence) {
            state_ = Leaving{now, *evidence};
        }
        return std::nullopt;
    }
    if (auto* leaving = std::get_if<Leaving>(&state_)) {
        if (strong) {
            state_ = Present{};
            return CancelledLeaving{};
        }
        if (!evidence) {
            // Losing the evidence does not bring the device back; it restarts the delay.
            state_ = Leaving{std::nullopt, leaving->evidence};
            return std::nullopt;
        }
        const Instant start = leaving->evidenceRunStart.value_or(now);
        // Weak evidence is timed by the readings themselves, silence by the clock.
        if (*evidence == Evidence::silent && secondsBetween(start, now) >= t.lastSeenTimeout) {
            state_ = Gone{};
            return BecameGone{GoneReason::silent};
        }
        if (*evidence == Evidence::weak &&
            secondsBetween(start, readings_.back().time) >= t.lastSeenTimeout) {
            state_ = Gone{};
            return BecameGone{GoneReason::weak};
        }
        state_ = Leaving{start, *evidence};
        return std::nullopt;
    }
    if (strong) {
        state_ = Present{};
        return Returned{};
    }
    return std::nullopt;
}

void PresenceEngine::awaitConfirmation(Instant since) {
    awaitingSince_ = since;
}

PresenceEngine::Effects PresenceEngine::evaluate(Instant now, const PresenceThresholds& t) {
    Effects effects;
    if (awaitingSince_) {
        if (!std::holds_alternative<Gone>(state_) || t.suppressSuddenSignalLoss) {
            awaitingSince_.reset();
        } else if (secondsBetween(*awaitingSince_, now) >=
                   t.strongSilenceLimit + t.lastSeenTimeout) {
            // Whatever was heard since the wake must say "away" now, as it would have to for a
            // present device; a signal between the thresholds keeps the wait going.
            const auto evidence =
                readings_.empty() ? std::optional(Evidence::silent) : evidenceAt(now, t);
            if (evidence) {
                awaitingSince_.reset();
                effects.emplace_back(
                    BecameGone{*evidence == Evidence::weak ? GoneReason::weak : GoneReason::silent,
                               /*unconfirmed=*/true});
            }
        }
    }
    if (readings_.empty()) {
        return effects;
    }
    const double silence = secondsBetween(readings_.back().time, now);
    const auto evidence = evidenceAt(now, t);
    const bool strong = strongReturnAt(now, t);
    if (auto effect = transition(now, evidence, strong, t)) {
        effects.push_back(*effect);
    }

    if (silence > t.freshWindow) {
        if (!lastProbeConnect_ ||
            secondsBetween(*lastProbeConnect_, now) >= t.probeConnectCooldown) {
            lastProbeConnect_ = now;
            effects.emplace_back(ProbeConnect{});
        }
        if (silence >= t.probeResetSilence &&
            (!lastProbeReset_ || secondsBetween(*lastProbeReset_, now) >= t.probeResetCooldown)) {
            lastProbeReset_ = now;
            effects.emplace_back(ProbeReset{});
        }
    }
    return effects;
}

std::optional<PresenceEngine::Effect> PresenceEngine::force(State state) {
    const State old = state_;
    state_ = state;
    if (std::holds_alternative<Gone>(state_) && !std::holds_alternative<Gone>(old)) {
        return BecameGone{GoneReason::forced};
    }
    if (std::holds_alternative<Present>(state_) && std::holds_alternative<Gone>(old)) {
        return Returned{};
    }
    return std::nullopt;
}

std::string_view toString(PresenceEngine::Evidence evidence) {
    return evidence == PresenceEngine::Evidence::weak ? "weak" : "silent";
}

std::string_view toString(PresenceEngine::GoneReason reason) {
    switch (reason) {
        case PresenceEngine::GoneReason::weak:
            return "weak";
        case PresenceEngine::GoneReason::silent:
            return "silent";
        case PresenceEngine::GoneReason::forced:
            return "forced";
    }
    return "weak";
}

std::string_view effectName(const PresenceEngine::Effect& effect) {
    struct Namer {
        std::string_view operator()(const PresenceEngine::BecameGone&) const {
            return "becameGone";
        }
        std::string_view operator()(const PresenceEngine::Returned&) const { return "returned"; }
        std::string_view operator()(const PresenceEngine::CancelledLeaving&) const {
            return "cancelledLeaving";
        }
        std::string_view operator()(const PresenceEngine::ProbeConnect&) const {
            return "probeConnect";
        }
        std::string_view operator()(const PresenceEngine::ProbeReset&) const {
            return "probeReset";
        }
    };
    return std::visit(Namer{}, effect);
}

}  // namespace ambleguard
