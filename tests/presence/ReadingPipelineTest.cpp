#include "presence/ReadingPipeline.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsReaders.h"

namespace ambleguard {
namespace {

class ReadingPipelineTest : public ::testing::Test {
  protected:
    ReadingPipelineTest() {
        pipeline = std::make_unique<ReadingPipeline>(ReadingPipeline::Dependencies{
            .clock = clock,
            .mainQueue = loop,
            .settings = settings,
            .logSink = log,
            .readout = readout,
            .engine = engine,
            .presence = published,
        });
        resetRequests = pipeline->onBluetoothResetRequested([this] { ++resets; });
    }

    // One reading as a producer delivers it: on the Bluetooth executor, then the hop.
    void reading(int raw) {
        bluetooth.post([this, raw] { pipeline->processRSSI(raw); });
        loop.runDue();
    }
    void readings(int raw, int count, double interval = 0.5) {
        for (int i = 0; i < count; ++i) {
            loop.advanceBy(interval);
            reading(raw);
        }
    }
    // Weak readings until the engine concludes the device is gone.
    void walkAway() { readings(-85, 6); }
    // Two strong readings far enough from the old estimate to start a fresh filter.
    void comeBack() { readings(-30, 2); }
    void ticks(int seconds) {
        for (int i = 0; i < seconds; ++i) {
            loop.advanceBy(1.0);
            pipeline->evaluatePresence();
        }
    }
    std::string presence() const { return storedPresenceState(settings); }
    ReadingPipeline::SignalSnapshot snapshot() const { return pipeline->signalSnapshot(); }

    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::SimExecutor bluetooth{loop};
    sim::MemorySettings persistence;
    sim::RecordingLogSink log;
    SettingsStore settings{persistence, log};
    SignalReadout readout;
    PresenceEngine engine;
    Published<DevicePresenceState> published;
    std::unique_ptr<ReadingPipeline> pipeline;
    int resets = 0;
    Connection resetRequests;
};

TEST_F(ReadingPipelineTest, ZeroReadingsAreIgnoredAndFourInARowAskForAReset) {
    reading(-60);
    reading(0);
    reading(0);
    reading(0);
    EXPECT_TRUE(log.contains("RSSI = 0 (count: 3, lastValid: -60), treating as false reading"));
    EXPECT_EQ(snapshot().rssiZeroCount, 3);
    EXPECT_EQ(engine.readings().size(), 1u);
    EXPECT_EQ(readout.lastFilteredRSSI(), -60);

    reading(-61);  // an accepted reading restarts the count
    reading(0);
    reading(0);
    reading(0);
    EXPECT_EQ(resets, 0);

    reading(0);
    EXPECT_EQ(resets, 1);
    EXPECT_TRUE(log.contains("Repeated RSSI = 0 (count: 4) -> Bluetooth reset"));
    EXPECT_EQ(snapshot().rssiZeroCount, 0);
    EXPECT_EQ(engine.readings().size(), 2u);
}

TEST_F(ReadingPipelineTest, NotAvailableIsAFailureUntilTheNextGoodReading) {
    reading(0);
    reading(127);
    reading(127);
    EXPECT_TRUE(log.contains("Invalid RSSI value (127) detected"));
    EXPECT_TRUE(log.contains("RSSI Failure: Invalid RSSI (127) (Consecutive: 2)"));
    auto failing = snapshot();
    EXPECT_EQ(failing.consecutiveRSSIFailures, 2);
    EXPECT_EQ(failing.lastRSSIFailureTime, clock.now());
    EXPECT_EQ(failing.rssiZeroCount, 1) << "127 leaves the zero count alone";
    EXPECT_EQ(failing.filterEstimate, std::nullopt);
    EXPECT_TRUE(engine.readings().empty());

    reading(-70);
    auto recovered = snapshot();
    EXPECT_EQ(recovered.consecutiveRSSIFailures, 0);
    EXPECT_EQ(recovered.lastRSSIFailureTime, std::nullopt);
    EXPECT_EQ(recovered.lastRawRSSI, -70);
}

TEST_F(ReadingPipelineTest, AJumpOfMoreThanFiftyDecibelsStartsAFreshFilter) {
    reading(-95);
    reading(-40);
    auto jumped = snapshot();
    EXPECT_DOUBLE_EQ(*jumped.filterEstimate, -40.0);
    EXPECT_EQ(jumped.bufferValues, std::vector<int>{-40});
    EXPECT_EQ(readout.averageRSSI(), -40);

    pipeline->dropFilter();
    reading(-90);
    reading(-40);  // exactly 50 dB: the same filter moves towards it
    auto kept = snapshot();
    EXPECT_LT(*kept.filterEstimate, -40.0);
    EXPECT_EQ(kept.bufferValues.size(), 2u);
}

TEST_F(ReadingPipelineTest, FilteredValuesAreLimitedAndRoundedHalfAwayFromZero) {
    EXPECT_EQ(roundFilteredRSSI(-100.4), -100);
    EXPECT_EQ(roundFilteredRSSI(-130.0), -100);
    EXPECT_EQ(roundFilteredRSSI(0.3), 0);
    EXPECT_EQ(roundFilteredRSSI(-67.5), -68);
    EXPECT_EQ(roundFilteredRSSI(-66.5), -67);

    RSSIBuffer buffer;
    buffer.add(-67);
    buffer.add(-68);
    EXPECT_EQ(buffer.roundedMean(), -68);  // -67.5
    for (int value : {-50, -50, -50, -50}) {
        buffer.add(value);  // the oldest (-67) drops out at five
    }
    EXPECT_EQ(buffer.values().size(), 5u);
    EXPECT_EQ(buffer.roundedMean(), -54);  // (-68 - 200) / 5 = -53.6

    reading(5);  // a positive raw reading is displayed as 0 dBm
    EXPECT_EQ(readout.lastFilteredRSSI(), 0);
    EXPECT_EQ(engine.readings().back().rssi, 0);
}

TEST_F(ReadingPipelineTest, ReadingsReachTheEngineOnlyThroughTheMainQueueHop) {
    bluetooth.post([this] { pipeline->processRSSI(-60); });
    ASSERT_TRUE(loop.runNext());  // the Bluetooth side only
    EXPECT_EQ(readout.lastFilteredRSSI(), -60);
    EXPECT_TRUE(engine.readings().empty());
    ASSERT_TRUE(loop.runNext());
    EXPECT_EQ(engine.readings().size(), 1u);

    // A pipeline released while its hop is pending leaves the hop with nothing to do.
    bluetooth.post([this] { pipeline->processRSSI(-61); });
    ASSERT_TRUE(loop.runNext());
    pipeline.reset();
    loop.runDue();
    EXPECT_EQ(engine.readings().size(), 1u);
}

TEST_F(ReadingPipelineTest, RawDecisionsFeedTheEngineRawReadingsAndAreLoggedOnChange) {
    settings.setBool(keys::decideOnRawRSSI, true);
    reading(-75);
    reading(-81);
    EXPECT_EQ(engine.readings().back().rssi, -81);
    EXPECT_NE(readout.lastFilteredRSSI(), -81);
    EXPECT_EQ(log.count("Presence decisions on raw RSSI"), 1u);

    settings.setBool(keys::decideOnRawRSSI, false);
    reading(-81);
    reading(-81);
    EXPECT_EQ(engine.readings().back().rssi, readout.lastFilteredRSSI());
    EXPECT_EQ(log.count("Presence decisions on Kalman-filtered RSSI"), 1u);
    EXPECT_EQ(log.count("Presence decisions on raw RSSI"), 1u);
}

TEST_F(ReadingPipelineTest, GapsOfThreeSecondsOrMoreAreLogged) {
    reading(-60);
    loop.advanceBy(2.999);
    reading(-60);
    EXPECT_FALSE(log.containsFragment("Reading gap"));
    loop.advanceBy(3.0);
    reading(-61);
    EXPECT_TRUE(log.contains("Reading gap: 3.0s (raw=-61)"));
}

TEST_F(ReadingPipelineTest, ResetsClearWhatTheirCallersExpect) {
    reading(-60);
    reading(127);
    reading(0);
    ticks(8);  // a connect probe
    ASSERT_TRUE(engine.lastProbeConnect());

    pipeline->resetSignalState();
    auto cleared = snapshot();
    EXPECT_EQ(cleared.filterEstimate, std::nullopt);
    EXPECT_TRUE(cleared.bufferValues.empty());
    EXPECT_EQ(cleared.consecutiveRSSIFailures, 0);
    EXPECT_EQ(cleared.rssiZeroCount, 0);
    EXPECT_TRUE(cleared.lastReadingTimestamp.has_value());
    EXPECT_EQ(readout.averageRSSI(), -60);

    reading(-62);
    pipeline->shortReset();
    auto shortReset = snapshot();
    EXPECT_EQ(shortReset.filterEstimate, std::nullopt);
    EXPECT_EQ(shortReset.lastReadingTimestamp, std::nullopt);
    EXPECT_EQ(shortReset.bufferValues.size(), 1u);
    EXPECT_EQ(readout.lastFilteredRSSI(), SignalReadout::kNoReading);
    EXPECT_EQ(readout.averageRSSI(), SignalReadout::kNoReading);
    EXPECT_FALSE(engine.readings().empty());

    pipeline->forcePresenceGone("test");
    pipeline->fullReset();
    EXPECT_TRUE(snapshot().bufferValues.empty());
    EXPECT_TRUE(engine.readings().empty());
    EXPECT_EQ(engine.lastProbeConnect(), std::nullopt);
    EXPECT_TRUE(std::holds_alternative<PresenceEngine::Gone>(engine.state()));
}

TEST_F(ReadingPipelineTest, ObserversSeeReadingsBeforeTheDecisionsTheyCause) {
    std::vector<std::string> seen;
    auto a = pipeline->onReadingAccepted([&](const ReadingPipeline::AcceptedReading& r) {
        seen.push_back(fmt::format("reading {} {}", r.raw, r.rounded));
    });
    auto b = pipeline->onPresencePublished(
        [&](DevicePresenceState, DevicePresenceState now, std::string_view source) {
            seen.push_back(fmt::format("presence {} {}", rawValue(now), source));
        });
    auto c = pipeline->onEffect([&](const PresenceEngine::Effect& effect) {
        seen.push_back(fmt::format("effect {}", effectName(effect)));
    });
    walkAway();
    EXPECT_EQ(seen,
              (std::vector<std::string>{"reading -85 -85", "reading -85 -85", "reading -85 -85",
                                        "reading -85 -85", "presence Weak Signal engine decision",
                                        "reading -85 -85", "reading -85 -85",
                                        "presence Absent engine decision", "effect becameGone"}));
}

}  // namespace
}  // namespace ambleguard
