#include "app/CalibrationModel.h"

#include <gtest/gtest.h>

#include <chrono>

namespace ambleguard {
namespace {

using Status = CalibrationModel::Status;

const Instant kStart = fromEpochSeconds(1'800'000'000.0);

// Polls as the screen does, every quarter second, with a reading taken `age` seconds earlier.
struct Polling {
    CalibrationModel model;
    Instant now = kStart;

    void poll(double rssi, double age = 0.1) {
        now = addSeconds(now, CalibrationModel::kPollInterval);
        model.tick(rssi, addSeconds(now, -age), now);
    }
    void pollWithoutReading() {
        now = addSeconds(now, CalibrationModel::kPollInterval);
        model.tick(CalibrationModel::kNoReading, std::nullopt, now);
    }
};

TEST(CalibrationModel, ListensUntilAFreshReadingArrivesThenJudgesItAgainstTheBand) {
    Polling p;
    const CalibrationModel::Thresholds t{.averageMinRSSI = -70, .returnBuffer = 4, .awayBuffer = 6};
    EXPECT_EQ(p.model.status(t), Status::listening);
    EXPECT_EQ(p.model.smoothedRSSI(), -127);

    p.pollWithoutReading();
    EXPECT_EQ(p.model.status(t), Status::listening);
    EXPECT_TRUE(p.model.history().empty());

    // One reading is enough to count as stable.
    p.poll(-66);
    EXPECT_TRUE(p.model.hasValidReading());
    EXPECT_EQ(p.model.status(t), Status::present);  // exactly threshold + return buffer
    p.poll(-66.5);
    EXPECT_EQ(p.model.status(t), Status::weakSignal);
    p.poll(-76);
    EXPECT_EQ(p.model.status(t), Status::weakSignal);  // exactly threshold - away buffer
    p.poll(-76.5);
    EXPECT_EQ(p.model.status(t), Status::away);
    EXPECT_EQ(CalibrationModel::statusWord(Status::away), "Away");
    EXPECT_EQ(CalibrationModel::statusWord(Status::weakSignal), "Weak signal");
    // The count stops one above the stable threshold.
    EXPECT_EQ(p.model.validSampleCount(), CalibrationModel::kStableSampleThreshold + 1);
}

TEST(CalibrationModel, AStaleOrMissingReadingResetsTheCountButKeepsTheHistory) {
    for (const bool stale : {true, false}) {
        SCOPED_TRACE(stale ? "older than 6 s" : "-127");
        Polling p;
        p.poll(-60);
        p.poll(-61);
        ASSERT_TRUE(p.model.hasValidReading());

        if (stale) {
            p.poll(-62, 6.01);
        } else {
            p.poll(-127);
        }
        EXPECT_FALSE(p.model.hasValidReading());
        EXPECT_EQ(p.model.validSampleCount(), 0);
        EXPECT_EQ(p.model.status({}), Status::listening);
        EXPECT_EQ(p.model.history(), (std::deque<double>{-60, -61}));
        EXPECT_FALSE(p.model.warning(-50).has_value());
    }
    // Exactly 6 s old still counts, and so does -126.
    Polling p;
    p.poll(-62, CalibrationModel::kReadingFreshness);
    EXPECT_TRUE(p.model.hasValidReading());
    p.poll(-126);
    EXPECT_TRUE(p.model.hasValidReading());
    EXPECT_EQ(p.model.smoothedRSSI(), -126);
}

TEST(CalibrationModel, TheHistoryKeepsTheNewestSixtyPolls) {
    Polling p;
    for (int i = 0; i < 75; ++i) {
        p.poll(-80 + i % 30);
    }
    ASSERT_EQ(p.model.history().size(), CalibrationModel::kMaxPoints);
    EXPECT_EQ(p.model.history().front(), -80 + 15 % 30);
    EXPECT_EQ(p.model.history().back(), -80 + 74 % 30);
}

TEST(CalibrationModel, WarnsWhileTheThresholdIsWithinTheDipMarginOfTheSignal) {
    Polling p;
    p.poll(-55.25);
    // 10 dB above the threshold: the advice is the reading minus 14.
    EXPECT_EQ(p.model.warning(-65.25),
              "Signal here right now is -55 dBm but it could go 10-20 dBm deeper due to "
              "interfence. A threshold of -65 dBm will make app think you left while you still "
              "here. Keep it at or below -69 dBm.");
    // 20 dB above: nothing to warn about; exactly the margin is enough too.
    EXPECT_FALSE(p.model.warning(-75.25).has_value());
    EXPECT_FALSE(p.model.warning(-69.25).has_value());
    // A threshold above the signal is the worst case and warns as well.
    EXPECT_TRUE(p.model.warning(-50).has_value());
}

TEST(CalibrationModel, DraggingMovesTheThresholdFromWhereTheDragStarted) {
    CalibrationModel model;
    EXPECT_FALSE(model.dragTo(10, 200).has_value());  // no drag under way

    model.beginDrag(-67);
    EXPECT_TRUE(model.isDragging());
    // 200 px cover 50 dB: 40 px up is 10 dB stronger, 40 px down 10 dB weaker.
    EXPECT_EQ(model.dragTo(-40, 200), -57);
    EXPECT_EQ(model.dragTo(40, 200), -77);
    // Each move is measured from the start, not from the previous move.
    EXPECT_EQ(model.dragTo(4, 200), -68);
    // The line stays on the chart.
    EXPECT_EQ(model.dragTo(-1000, 200), CalibrationModel::kYMax);
    EXPECT_EQ(model.dragTo(1000, 200), CalibrationModel::kYMin);
    EXPECT_FALSE(model.dragTo(10, 0).has_value());
    model.endDrag();
    EXPECT_FALSE(model.isDragging());

    EXPECT_EQ(CalibrationModel::steppedThreshold(-67.4, 1), -66);
    EXPECT_EQ(CalibrationModel::steppedThreshold(-40, 1), -40);
    EXPECT_EQ(CalibrationModel::steppedThreshold(-95, -1), -90);
}

}  // namespace
}  // namespace ambleguard
