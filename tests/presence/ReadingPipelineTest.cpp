#include "presence/ReadingPipeline.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "presence/PresenceMocks.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsReaders.h"

namespace ambleguard {
namespace {

using ::testing::InSequence;
using ::testing::NiceMock;
using ::testing::Return;
using Reason = PresenceEngine::GoneReason;

class ReadingPipelineTest : public ::testing::Test {
  protected:
    ReadingPipelineTest() {
        ON_CALL(scanner, isCentralPoweredOn()).WillByDefault(Return(true));
        pipeline = std::make_unique<ReadingPipeline>(ReadingPipeline::Dependencies{
            .clock = clock,
            .mainQueue = loop,
            .settings = settings,
            .logSink = log,
            .readout = readout,
            .engine = engine,
            .scanner = scanner,
            .connections = connections,
            .sounds = sounds,
            .screenLock = screenLock,
            .schedule = schedule,
            .awayActions = away,
            .returnActions = returns,
            .unlockOnTouch = unlockOnTouch,
            .notifications = notifications,
        });
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
    NiceMock<test::MockScannerControl> scanner;
    NiceMock<test::MockConnectionAttempts> connections;
    NiceMock<test::MockEventSounds> sounds;
    NiceMock<test::MockScreenLock> screenLock;
    NiceMock<test::MockSchedule> schedule;
    NiceMock<test::MockAwayActions> away;
    NiceMock<test::MockReturnActions> returns;
    NiceMock<test::MockUnlockOnTouch> unlockOnTouch;
    NiceMock<test::MockOutOfRangeNotifier> notifications;
    std::unique_ptr<ReadingPipeline> pipeline;
};

TEST_F(ReadingPipelineTest, ZeroReadingsAreIgnoredAndFourInARowAskForAReset) {
    reading(-60);
    EXPECT_CALL(scanner, resetBluetooth()).Times(0);
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
    ::testing::Mock::VerifyAndClearExpectations(&scanner);

    EXPECT_CALL(scanner, resetBluetooth()).Times(1);
    reading(0);
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

TEST_F(ReadingPipelineTest, PresenceIsPublishedBeforeItsEffectsAndTheSinkFiresOnAbsent) {
    settings.setBool(keys::notificationsAllowed, true);
    {
        InSequence order;
        EXPECT_CALL(unlockOnTouch, deviceConfirmedGone(
                                       std::string_view("engine decision, Weak Signal -> Absent")));
        EXPECT_CALL(sounds, play(SoundEvent::deviceLeft));
        EXPECT_CALL(notifications, showNotification(Reason::weak));
        EXPECT_CALL(away, performAwayAction()).WillOnce([this] {
            EXPECT_EQ(presence(), "Absent");
        });
    }
    walkAway();
    EXPECT_TRUE(log.contains("Presence: Present -> Weak Signal (engine decision)"));
    EXPECT_TRUE(log.contains("Presence: Weak Signal -> Absent (engine decision)"));
    EXPECT_TRUE(log.contains("(Lock Screen) Device gone (weak)"));
}

TEST_F(ReadingPipelineTest, ALockedScreenGetsNoSoundOrNotificationButStillTheAwayAction) {
    settings.setBool(keys::notificationsAllowed, true);
    ON_CALL(screenLock, isLocked()).WillByDefault(Return(true));
    EXPECT_CALL(sounds, play).Times(0);
    EXPECT_CALL(notifications, showNotification).Times(0);
    EXPECT_CALL(away, performAwayAction()).Times(1);
    walkAway();
}

TEST_F(ReadingPipelineTest, TheScheduleCanSuppressADepartureAndSilenceAReturn) {
    ON_CALL(schedule, shouldSuppress()).WillByDefault(Return(true));
    EXPECT_CALL(sounds, play).Times(0);
    EXPECT_CALL(away, performAwayAction).Times(0);
    walkAway();
    EXPECT_EQ(presence(), "Absent");
    EXPECT_TRUE(log.contains("Lock suppressed by schedule (device gone)"));

    InSequence order;
    EXPECT_CALL(returns, performReturnAction());
    EXPECT_CALL(returns, performUnlockOnReturn());
    comeBack();
    EXPECT_EQ(presence(), "Present");
    EXPECT_TRUE(log.contains("Device returned"));
}

TEST_F(ReadingPipelineTest, AReturnPlaysItsSoundThenRunsBothReturnActions) {
    walkAway();
    EXPECT_CALL(notifications, showNotification).Times(0);  // notifications were not allowed
    InSequence order;
    EXPECT_CALL(sounds, play(SoundEvent::deviceReturned));
    EXPECT_CALL(returns, performReturnAction());
    EXPECT_CALL(returns, performUnlockOnReturn());
    comeBack();
}

TEST_F(ReadingPipelineTest, ProbesNeedAPoweredCentral) {
    reading(-50);
    ON_CALL(scanner, isCentralPoweredOn()).WillByDefault(Return(false));
    EXPECT_CALL(connections, attemptConnection).Times(0);
    EXPECT_CALL(scanner, resetBluetooth).Times(0);
    ticks(19);  // connect probes at 7 and 17 s of silence, not acted on
    ::testing::Mock::VerifyAndClearExpectations(&connections);
    ::testing::Mock::VerifyAndClearExpectations(&scanner);

    ON_CALL(scanner, isCentralPoweredOn()).WillByDefault(Return(true));
    EXPECT_CALL(connections, attemptConnection(std::string_view("grace-window"))).Times(1);
    EXPECT_CALL(scanner, resetBluetooth()).Times(1);
    ticks(10);  // silence 20...29 s: a reset probe at 20, a connect probe at 27
    EXPECT_TRUE(log.contains("Silence probe -> Bluetooth reset"));
}

TEST_F(ReadingPipelineTest, AStoredStateFromAnEarlierRunIsCorrectedAtTheFirstEvaluation) {
    settings.setString(keys::devicePresenceState, "Absent");
    EXPECT_CALL(unlockOnTouch, deviceConfirmedGone).Times(0);
    pipeline->evaluatePresence();  // no readings yet
    EXPECT_EQ(presence(), "Present");
    EXPECT_TRUE(log.contains("Presence: Absent -> Present (engine decision)"));
}

TEST_F(ReadingPipelineTest, ForcedAbsenceFiresTheSinkOnceWithItsSource) {
    EXPECT_CALL(unlockOnTouch,
                deviceConfirmedGone(std::string_view("Bluetooth off, Present -> Absent")))
        .Times(1);
    EXPECT_CALL(away, performAwayAction).Times(0);
    pipeline->forcePresenceGone("Bluetooth off");
    pipeline->forcePresenceGone("Bluetooth unauthorized");
    EXPECT_EQ(presence(), "Absent");
}

struct LossCase {
    BluetoothLoss loss;
    const char* suppressed;
    const char* locking;
    const char* notLocking;
};

class BluetoothLossTest : public ReadingPipelineTest,
                          public ::testing::WithParamInterface<LossCase> {};

TEST_P(BluetoothLossTest, LocksOnlyWhenTheDeviceWasNotNearby) {
    const LossCase& c = GetParam();
    settings.setBool(keys::notificationsAllowed, true);

    for (int raw : {-55, -60}) {
        reading(raw);
        EXPECT_CALL(away, performAwayAction).Times(0);
        EXPECT_CALL(sounds, play).Times(0);
        pipeline->decideLockOnBluetoothLoss(c.loss);
        EXPECT_TRUE(log.contains(fmt::format(fmt::runtime(c.notLocking), raw)));
        ::testing::Mock::VerifyAndClearExpectations(&away);
        ::testing::Mock::VerifyAndClearExpectations(&sounds);
    }

    reading(-61);
    {
        InSequence order;
        EXPECT_CALL(sounds, play(SoundEvent::deviceLeft));
        EXPECT_CALL(notifications, showNotification(Reason::weak));
        EXPECT_CALL(away, performAwayAction()).WillOnce([&] {
            EXPECT_TRUE(log.contains(c.locking));
        });
    }
    pipeline->decideLockOnBluetoothLoss(c.loss);
    ::testing::Mock::VerifyAndClearExpectations(&away);

    ON_CALL(schedule, shouldSuppress()).WillByDefault(Return(true));
    EXPECT_CALL(away, performAwayAction).Times(0);
    pipeline->decideLockOnBluetoothLoss(c.loss);
    EXPECT_TRUE(log.contains(c.suppressed));
}

INSTANTIATE_TEST_SUITE_P(
    States, BluetoothLossTest,
    ::testing::Values(
        LossCase{BluetoothLoss::poweredOff, "Lock suppressed by schedule (Bluetooth off)",
                 "(Lock Screen) Bluetooth state: Powered Off, device not nearby",
                 "Not locking screen despite Bluetooth off - device likely nearby (last RSSI: {})"},
        LossCase{BluetoothLoss::unauthorized,
                 "Lock suppressed by schedule (Bluetooth unauthorized)",
                 "(Lock Screen) Bluetooth unauthorized, device not nearby",
                 "Not locking screen despite Bluetooth unauthorized - device likely nearby (last "
                 "RSSI: {})"},
        LossCase{BluetoothLoss::unavailable, "Lock suppressed by schedule (Bluetooth unavailable)",
                 "(Lock Screen) Bluetooth not available, device not nearby",
                 "Not locking screen despite Bluetooth unavailable - device likely nearby (last "
                 "RSSI: {})"}));

TEST_F(ReadingPipelineTest, BluetoothLossWithoutAnyReadingLocksButNotOnALockedScreen) {
    EXPECT_CALL(away, performAwayAction()).Times(1);
    EXPECT_CALL(notifications, showNotification).Times(0);  // not allowed
    pipeline->decideLockOnBluetoothLoss(BluetoothLoss::poweredOff);
    ::testing::Mock::VerifyAndClearExpectations(&away);

    ON_CALL(screenLock, isLocked()).WillByDefault(Return(true));
    EXPECT_CALL(away, performAwayAction).Times(0);
    pipeline->decideLockOnBluetoothLoss(BluetoothLoss::poweredOff);
    EXPECT_TRUE(log.contains(
        "Not locking screen despite Bluetooth off - device likely nearby (last RSSI: 0)"));
}

TEST_F(ReadingPipelineTest, ScreenUnlockWhileBluetoothIsOffKeepsTheDeviceAbsentWithoutActing) {
    ON_CALL(scanner, isCentralPoweredOn()).WillByDefault(Return(false));
    EXPECT_CALL(unlockOnTouch,
                deviceConfirmedGone(std::string_view("Bluetooth off at unlock, Present -> Absent")))
        .Times(1);
    EXPECT_CALL(away, performAwayAction).Times(0);
    EXPECT_CALL(sounds, play).Times(0);
    EXPECT_CALL(scanner, startPresenceTimer).Times(0);
    pipeline->handleScreenLockChange(ReadingPipeline::kScreenUnlockedNotice);
    pipeline->handleScreenLockChange(ReadingPipeline::kScreenUnlockedNotice);
    EXPECT_EQ(presence(), "Absent");
    EXPECT_EQ(settings.dateForKey(keys::lastScreenUnlockTime), std::nullopt);
    EXPECT_EQ(log.count("Screen unlocked but Bluetooth is off - maintaining absent state"), 2u);
}

TEST_F(ReadingPipelineTest, ScreenUnlockWithBluetoothOnRestartsMonitoring) {
    reading(127);
    settings.setBool(keys::canScan, true);
    loop.advanceBy(5);
    {
        InSequence order;
        EXPECT_CALL(scanner, startScanning());
        EXPECT_CALL(scanner, startPresenceTimer());
    }
    pipeline->handleScreenLockChange(ReadingPipeline::kScreenUnlockedNotice);
    EXPECT_EQ(settings.dateForKey(keys::lastScreenUnlockTime), clock.now());
    EXPECT_EQ(snapshot().consecutiveRSSIFailures, 0);
    EXPECT_EQ(snapshot().lastRSSIFailureTime, std::nullopt);
    EXPECT_TRUE(log.contains("Screen unlocked - previous state: Present"));
    ::testing::Mock::VerifyAndClearExpectations(&scanner);

    settings.setBool(keys::canScan, false);
    EXPECT_CALL(scanner, startScanning).Times(0);
    EXPECT_CALL(scanner, startPresenceTimer()).Times(1);
    pipeline->handleScreenLockChange(ReadingPipeline::kScreenUnlockedNotice);
    pipeline->handleScreenLockChange("com.example.somethingElse");
}

TEST_F(ReadingPipelineTest, ScreenLockRecordsTheTimeAndLogsHowLongAgoThingsHappened) {
    settings.setDate(keys::lastScreenUnlockTime, clock.now());
    loop.advanceBy(12.34);
    pipeline->handleScreenLockChange(ReadingPipeline::kScreenLockedNotice);
    EXPECT_EQ(settings.dateForKey(keys::lastScreenLockTime), clock.now());
    EXPECT_TRUE(log.contains(
        "Screen locked - presence: Present, last away shortcut: never, last direct lock: never, "
        "last unlock: 12.3s ago"));
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
    ON_CALL(schedule, shouldSuppress()).WillByDefault(Return(true));  // still reported
    walkAway();
    EXPECT_EQ(seen,
              (std::vector<std::string>{"reading -85 -85", "reading -85 -85", "reading -85 -85",
                                        "reading -85 -85", "presence Weak Signal engine decision",
                                        "reading -85 -85", "reading -85 -85",
                                        "presence Absent engine decision", "effect becameGone"}));
}

}  // namespace
}  // namespace ambleguard
