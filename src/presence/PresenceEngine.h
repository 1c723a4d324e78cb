#pragma once

#include "base/Time.h"
#include "presence/BoundedHistory.h"
#include "presence/PresenceThresholds.h"

#include <optional>
#include <string_view>
#include <variant>
#include <vector>

namespace ambleguard {

// Decides from a short history of readings whether the tracked device is present, on its way
// out, or gone. Evidence (what the readings say now) is kept apart from the conclusion: the
// device is gone only after evidence has lasted the user's action delay, and it is back only
// after two fresh readings clear the raised return threshold. It owns no timers, reads no
// settings and performs nothing; its caller feeds it, evaluates it and acts on the effects.
class PresenceEngine {
  public:
    enum class Evidence { weak, silent };
    enum class GoneReason { weak, silent, forced };

    struct Present {
        bool operator==(const Present&) const = default;
    };
    struct Leaving {
        std::optional<Instant> evidenceRunStart;  // start of the current uninterrupted run
        Evidence evidence = Evidence::weak;       // kind of the latest evidence
        bool operator==(const Leaving&) const = default;
    };
    struct Gone {
        bool operator==(const Gone&) const = default;
    };
    using State = std::variant<Present, Leaving, Gone>;

    struct BecameGone {
        GoneReason reason = GoneReason::weak;
        // Gone already (forced), and now also not heard for the departure window: see
        // awaitConfirmation.
        bool unconfirmed = false;
        bool operator==(const BecameGone&) const = default;
    };
    struct Returned {
        bool operator==(const Returned&) const = default;
    };
    struct CancelledLeaving {
        bool operator==(const CancelledLeaving&) const = default;
    };
    struct ProbeConnect {
        bool operator==(const ProbeConnect&) const = default;
    };
    struct ProbeReset {
        bool operator==(const ProbeReset&) const = default;
    };
    using Effect = std::variant<BecameGone, Returned, CancelledLeaving, ProbeConnect, ProbeReset>;
    using Effects = std::vector<Effect>;

    struct Reading {
        Instant time;
        int rssi = 0;
    };
    static constexpr int maxReadings = 16;
    using Readings = BoundedHistory<Reading, maxReadings>;

    // Adds a reading; one older than the newest held is dropped (equal times are kept).
    void ingest(int rssi, Instant time);

    // One decision step. Effects come in emission order: at most one state effect, then
    // probeConnect, then probeReset.
    Effects evaluate(Instant now, const PresenceThresholds& thresholds);

    // Imposes a state from outside (Bluetooth or the machine went away).
    std::optional<Effect> force(State state);

    // The state was forced to gone without evidence (the computer slept), so no departure will
    // follow from the readings. From `since`, once the window a silent departure takes (the
    // strong-silence limit plus the action delay) has passed, evaluate() reports a BecameGone
    // with `unconfirmed` set as soon as the evidence says away: silent when nothing was heard,
    // weak when only a faint signal was. A return (any state other than gone) ends the wait.
    // Nothing when sudden signal loss is suppressed, as silence never departs then.
    void awaitConfirmation(Instant since);

    // Forgets the readings and the probe times, keeping the state (a different device was
    // chosen, so the old history says nothing about it).
    void clearHistory();

    const State& state() const { return state_; }
    const Readings& readings() const { return readings_; }
    std::optional<Instant> lastProbeConnect() const { return lastProbeConnect_; }
    std::optional<Instant> lastProbeReset() const { return lastProbeReset_; }

  private:
    std::optional<Evidence> evidenceAt(Instant now, const PresenceThresholds& thresholds) const;
    bool strongReturnAt(Instant now, const PresenceThresholds& thresholds) const;
    std::optional<Effect> transition(Instant now, std::optional<Evidence> evidence, bool strong,
                                     const PresenceThresholds& thresholds);

    State state_ = Present{};
    Readings readings_;
    std::optional<Instant> lastProbeConnect_;
    std::optional<Instant> lastProbeReset_;
    std::optional<Instant> awaitingSince_;
};

std::string_view toString(PresenceEngine::Evidence evidence);
std::string_view toString(PresenceEngine::GoneReason reason);
// "becameGone", "returned", "cancelledLeaving", "probeConnect", "probeReset".
std::string_view effectName(const PresenceEngine::Effect& effect);

}  // namespace ambleguard
