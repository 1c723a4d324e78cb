#include "presence/PresenceEngine.h"

#include <gtest/gtest.h>

#include "platform/sim/SimClock.h"

namespace ambleguard {
namespace {

using Engine = PresenceEngine;

const Instant t0 = sim::SimClock::defaultStart();

Instant at(double seconds) {
    return addSeconds(t0, seconds);
}

class PresenceEngineTest : public ::testing::Test {
  protected:
    // Adds a reading at `seconds` and evaluates at the same moment, as the pipeline does.
    Engine::Effects read(double seconds, int rssi) {
        engine.ingest(rssi, at(seconds));
        return engine.evaluate(at(seconds), thresholds);
    }
    Engine::Effects tick(double seconds) { return engine.evaluate(at(seconds), thresholds); }

    bool isPresent() const { return std::holds_alternative<Engine::Present>(engine.state()); }
    bool isLeaving() const { return std::holds_alternative<Engine::Leaving>(engine.state()); }
    bool isGone() const { return std::holds_alternative<Engine::Gone>(engine.state()); }
    const Engine::Leaving& leaving() const { return std::get<Engine::Leaving>(engine.state()); }

    Engine engine;
    PresenceThresholds thresholds;
};

const Engine::Effects none;

TEST_F(PresenceEngineTest, WeakReadingsLeaveOnceTheySpanEnoughAndGoAfterTheDelay) {
    EXPECT_EQ(read(0.0, -75), none);
    EXPECT_EQ(read(0.5, -75), none);
    EXPECT_EQ(read(1.0, -75), none);
    EXPECT_TRUE(isPresent()) << "three readings spanning 1.0 s are not enough";

    EXPECT_EQ(read(1.5, -75), none);
    ASSERT_TRUE(isLeaving());
    EXPECT_EQ(leaving().evidenceRunStart, at(1.5));
    EXPECT_EQ(leaving().evidence, Engine::Evidence::weak);

    EXPECT_EQ(read(2.0, -75), none);
    // The delay is measured by reading times: a tick without a new reading changes nothing.
    EXPECT_EQ(tick(2.4), none);
    EXPECT_TRUE(isLeaving());
    EXPECT_EQ(read(2.5, -75), (Engine::Effects{Engine::BecameGone{Engine::GoneReason::weak}}));
    EXPECT_TRUE(isGone());
}

TEST_F(PresenceEngineTest, ReadingsAtTheAwayThresholdAreNotWeak) {
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(read(i * 0.5, -71), none);
    }
    EXPECT_TRUE(isPresent());
}

TEST_F(PresenceEngineTest, SilenceAfterAStrongSignalTakesThirtySecondsThenTheDelay) {
    read(0, -50);
    read(1, -50);
    read(2, -50);
    tick(32.0);
    EXPECT_TRUE(isPresent()) << "silence of exactly 30 s is not enough";
    tick(32.5);
    ASSERT_TRUE(isLeaving());
    EXPECT_EQ(leaving().evidence, Engine::Evidence::silent);
    tick(33.499);
    EXPECT_TRUE(isLeaving());
    const auto effects = tick(33.5);  // by the clock: no new reading is needed
    ASSERT_FALSE(effects.empty());
    EXPECT_EQ(effects.front(), Engine::Effect(Engine::BecameGone{Engine::GoneReason::silent}));

    PresenceEngine suppressed;
    PresenceThresholds t;
    t.suppressSuddenSignalLoss = true;
    suppressed.ingest(-50, at(0));
    for (int s = 1; s < 300; ++s) {
        suppressed.evaluate(at(s), t);
    }
    EXPECT_TRUE(std::holds_alternative<Engine::Present>(suppressed.state()));
}

TEST_F(PresenceEngineTest, SilenceAfterAWeakSignalCountsAfterEightSeconds) {
    // Two weak readings: too few for weak evidence, but their median makes silence suspicious.
    read(0.0, -80);
    read(0.5, -80);
    EXPECT_TRUE(isPresent());
    tick(8.5);
    EXPECT_TRUE(isPresent());
    tick(8.6);
    ASSERT_TRUE(isLeaving());
    EXPECT_EQ(leaving().evidence, Engine::Evidence::silent);
}

TEST_F(PresenceEngineTest, LosingEvidenceRestartsTheDelayWithoutComingBack) {
    read(0.0, -80);
    read(0.5, -80);
    read(1.0, -80);
    read(1.5, -80);
    ASSERT_TRUE(isLeaving());
    read(2.0, -65);  // median still weak, newest not weak: no evidence
    ASSERT_TRUE(isLeaving()) << "only a strong return leaves the leaving state";
    EXPECT_EQ(leaving().evidenceRunStart, std::nullopt);
    EXPECT_EQ(leaving().evidence, Engine::Evidence::weak);

    read(2.5, -80);
    EXPECT_EQ(leaving().evidenceRunStart, at(2.5));
    EXPECT_EQ(read(3.0, -80), none);
    EXPECT_EQ(read(3.5, -80), (Engine::Effects{Engine::BecameGone{Engine::GoneReason::weak}}));
}

TEST_F(PresenceEngineTest, AChangeOfEvidenceKeepsTheRunStart) {
    read(0.0, -80);
    read(0.5, -80);
    read(1.0, -80);
    read(1.5, -80);
    ASSERT_TRUE(isLeaving());
    ASSERT_EQ(leaving().evidenceRunStart, at(1.5));
    // The readings stop; weak evidence fades when the newest is no longer fresh, and the
    // silence turns into silent evidence with the same run start.
    PresenceThresholds longDelay = thresholds;
    longDelay.lastSeenTimeout = 60;
    engine.evaluate(at(10.0), longDelay);
    ASSERT_TRUE(isLeaving());
    EXPECT_EQ(leaving().evidence, Engine::Evidence::silent);
    EXPECT_EQ(leaving().evidenceRunStart, at(1.5));
}

TEST_F(PresenceEngineTest, OnlyTwoFreshStrongReadingsBringTheDeviceBack) {
    engine.force(Engine::Gone{});
    EXPECT_EQ(read(100, -55), none);
    EXPECT_EQ(read(107, -55), none) << "the first strong reading is no longer fresh";
    EXPECT_EQ(read(108, -63), (Engine::Effects{Engine::Returned{}}));
    EXPECT_TRUE(isPresent());

    PresenceEngine other;
    other.force(Engine::Gone{});
    for (int i = 0; i < 10; ++i) {
        other.ingest(-64, at(i));
        EXPECT_EQ(other.evaluate(at(i), thresholds), none);
    }
    EXPECT_TRUE(std::holds_alternative<Engine::Gone>(other.state()));
}

TEST_F(PresenceEngineTest, AStrongReturnCancelsLeaving) {
    read(0.0, -80);
    read(0.5, -80);
    read(1.0, -80);
    read(1.5, -80);
    ASSERT_TRUE(isLeaving());
    EXPECT_EQ(read(1.6, -60), none);
    EXPECT_EQ(read(1.7, -60), (Engine::Effects{Engine::CancelledLeaving{}}));
    EXPECT_TRUE(isPresent());
}

TEST_F(PresenceEngineTest, RawDecisionsNeedTwoFreshReadingsForAMedian) {
    thresholds.minFreshReadings = 2;
    read(0.0, -80);
    read(0.5, -80);
    read(10.0, -80);  // the only fresh one of the last three
    EXPECT_TRUE(isPresent());

    PresenceEngine filtered;
    const PresenceThresholds t;
    for (double s : {0.0, 0.5, 10.0}) {
        filtered.ingest(-80, at(s));
        filtered.evaluate(at(s), t);
    }
    EXPECT_TRUE(std::holds_alternative<Engine::Leaving>(filtered.state()));
}

TEST_F(PresenceEngineTest, HistoryIsOrderedAndBounded) {
    engine.ingest(-60, at(5));
    engine.ingest(-61, at(4));  // older than the newest: dropped
    engine.ingest(-62, at(5));  // same time: kept
    ASSERT_EQ(engine.readings().size(), 2u);
    EXPECT_EQ(engine.readings().back().rssi, -62);

    for (int i = 0; i < 20; ++i) {
        engine.ingest(-50 - i, at(10 + i));
    }
    EXPECT_EQ(engine.readings().size(), 16u);
    EXPECT_EQ(engine.readings().front().rssi, -54);
    EXPECT_EQ(engine.readings().back().rssi, -69);
}

TEST_F(PresenceEngineTest, SilenceProbesConnectEveryTenSecondsAndResetEveryThirty) {
    read(0, -50);
    std::vector<double> connects;
    std::vector<double> resets;
    for (int s = 1; s <= 60; ++s) {
        for (const auto& effect : tick(s)) {
            if (std::holds_alternative<Engine::ProbeConnect>(effect)) {
                connects.push_back(s);
            } else if (std::holds_alternative<Engine::ProbeReset>(effect)) {
                resets.push_back(s);
            }
        }
    }
    EXPECT_EQ(connects, (std::vector<double>{7, 17, 27, 37, 47, 57}));
    EXPECT_EQ(resets, (std::vector<double>{20, 50}));
}

TEST_F(PresenceEngineTest, StateEffectComesBeforeTheProbes) {
    read(0, -50);
    EXPECT_EQ(tick(31),
              (Engine::Effects{Engine::ProbeConnect{}, Engine::ProbeReset{}}));  // to leaving
    EXPECT_EQ(tick(61), (Engine::Effects{Engine::BecameGone{Engine::GoneReason::silent},
                                         Engine::ProbeConnect{}, Engine::ProbeReset{}}));
}

TEST_F(PresenceEngineTest, NoReadingsMeansNoDecisionsAndNoProbes) {
    for (int hour = 1; hour <= 5; ++hour) {
        EXPECT_EQ(tick(hour * 3600.0), none);
    }
    EXPECT_TRUE(isPresent());
    EXPECT_EQ(engine.lastProbeConnect(), std::nullopt);
}

TEST_F(PresenceEngineTest, ForcingReportsOnlyRealChanges) {
    read(0.0, -80);
    read(0.5, -80);
    read(1.0, -80);
    read(1.5, -80);
    ASSERT_TRUE(isLeaving());
    EXPECT_EQ(engine.force(Engine::Gone{}),
              Engine::Effect(Engine::BecameGone{Engine::GoneReason::forced}));
    EXPECT_EQ(engine.force(Engine::Gone{}), std::nullopt);
    EXPECT_EQ(engine.force(Engine::Present{}), Engine::Effect(Engine::Returned{}));
    EXPECT_EQ(engine.force(Engine::Present{}), std::nullopt);
    EXPECT_EQ(engine.readings().size(), 4u);
}

TEST_F(PresenceEngineTest, AfterAForcedGoneSilenceForTheDepartureWindowIsADepartureOfItsOwn) {
    read(0, -50);
    read(0.5, -50);
    engine.force(Engine::Gone{});        // the computer sleeps
    engine.awaitConfirmation(at(1000));  // and wakes
    // Window: strong-silence limit plus the action delay, measured from the wake; both sides.
    const double window = thresholds.strongSilenceLimit + thresholds.lastSeenTimeout;
    const auto onlyStates = [](Engine::Effects effects) {
        std::erase_if(effects,
                      [](const auto& e) { return !std::holds_alternative<Engine::BecameGone>(e); });
        return effects;
    };
    EXPECT_EQ(onlyStates(tick(1000 + window - 0.001)), none);
    EXPECT_EQ(onlyStates(tick(1000 + window)),
              (Engine::Effects{Engine::BecameGone{Engine::GoneReason::silent, true}}));
    EXPECT_TRUE(isGone());
    EXPECT_EQ(onlyStates(tick(2000)), none) << "reported once";

    // Heard after the wake, but only faintly (the owner in the next room): a weak departure,
    // once the window has passed.
    engine.awaitConfirmation(at(3000));
    Engine::Effects faint;
    for (double t = 3001; t <= 3000 + window + 5; t += 1) {
        if (t < 3000 + window) {
            EXPECT_EQ(onlyStates(read(t, -95)), none) << t;
        } else {
            const auto effects = onlyStates(read(t, -95));
            faint.insert(faint.end(), effects.begin(), effects.end());
        }
    }
    EXPECT_EQ(faint, (Engine::Effects{Engine::BecameGone{Engine::GoneReason::weak, true}}));

    // A signal between the away and return thresholds says neither: no departure while it
    // lasts, and silence after it departs as silence does.
    engine.awaitConfirmation(at(3500));
    const int between = static_cast<int>(thresholds.awayThreshold()) + 2;
    ASSERT_LT(between, thresholds.returnThreshold());
    for (double t = 3501; t <= 3500 + 3 * window; t += 1) {
        EXPECT_EQ(onlyStates(read(t, between)), none) << t;
    }
    EXPECT_EQ(onlyStates(tick(3500 + 3 * window + thresholds.strongSilenceLimit + 1)),
              (Engine::Effects{Engine::BecameGone{Engine::GoneReason::silent, true}}));

    // Back before the window ends: nothing either.
    engine.awaitConfirmation(at(4000));
    engine.force(Engine::Present{});
    EXPECT_EQ(onlyStates(tick(4000 + window + 1)), none);

    // Silence never departs when sudden signal loss is suppressed.
    engine.force(Engine::Gone{});
    thresholds.suppressSuddenSignalLoss = true;
    engine.awaitConfirmation(at(5000));
    EXPECT_EQ(onlyStates(tick(5000 + window + 1)), none);
}

TEST_F(PresenceEngineTest, ClearingHistoryKeepsTheState) {
    read(0, -50);
    tick(30.5);
    tick(31);  // probes recorded
    engine.force(Engine::Gone{});
    engine.clearHistory();
    EXPECT_TRUE(engine.readings().empty());
    EXPECT_EQ(engine.lastProbeConnect(), std::nullopt);
    EXPECT_EQ(engine.lastProbeReset(), std::nullopt);
    EXPECT_TRUE(isGone());
}

}  // namespace
}  // namespace ambleguard
