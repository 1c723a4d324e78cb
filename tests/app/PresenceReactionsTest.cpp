#include "app/PresenceReactions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "platform/ScreenSession.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsReaders.h"
#include "support/PresenceMocks.h"

namespace ambleguard {
namespace {

using ::testing::InSequence;
using ::testing::NiceMock;
using ::testing::Return;
using Reason = PresenceEngine::GoneReason;

class PresenceReactionsTest : public ::testing::Test {
  protected:
    PresenceReactionsTest() {
        ON_CALL(scanner, isCentralPoweredOn()).WillByDefault(Return(true));
        pipeline = std::make_unique<ReadingPipeline>(ReadingPipeline::Dependencies{
            .clock = clock,
            .mainQueue = loop,
            .settings = settings,
            .logSink = log,
            .readout = readout,
            .engine = engine,
            .presence = published,
        });
        reactions = std::make_unique<PresenceReactions>(PresenceReactions::Dependencies{
            .clock = clock,
            .settings = settings,
            .logSink = log,
            .pipeline = *pipeline,
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
    Published<DevicePresenceState> published;
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
    std::unique_ptr<PresenceReactions> reactions;
};

TEST_F(PresenceReactionsTest, ARunOfZeroReadingsResetsBluetooth) {
    reading(-60);
    EXPECT_CALL(scanner, resetBluetooth()).Times(1);
    for (int i = 0; i < 4; ++i) {
        reading(0);
    }
}

TEST_F(PresenceReactionsTest, PresenceIsPublishedBeforeItsEffectsAndTheSinkFiresOnAbsent) {
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

TEST_F(PresenceReactionsTest, ALockedScreenGetsNoSoundOrNotificationButStillTheAwayAction) {
    settings.setBool(keys::notificationsAllowed, true);
    ON_CALL(screenLock, isLocked()).WillByDefault(Return(true));
    EXPECT_CALL(sounds, play).Times(0);
    EXPECT_CALL(notifications, showNotification).Times(0);
    EXPECT_CALL(away, performAwayAction()).Times(1);
    walkAway();
}

TEST_F(PresenceReactionsTest, TheScheduleCanSuppressADepartureAndSilenceAReturn) {
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

TEST_F(PresenceReactionsTest, AReturnPlaysItsSoundThenRunsBothReturnActions) {
    walkAway();
    EXPECT_CALL(notifications, showNotification).Times(0);  // notifications were not allowed
    InSequence order;
    EXPECT_CALL(sounds, play(SoundEvent::deviceReturned));
    EXPECT_CALL(returns, performReturnAction());
    EXPECT_CALL(returns, performUnlockOnReturn());
    comeBack();
}

TEST_F(PresenceReactionsTest, ProbesNeedAPoweredCentral) {
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

TEST_F(PresenceReactionsTest, AStoredStateFromAnEarlierRunIsCorrectedAtTheFirstEvaluation) {
    settings.setString(keys::devicePresenceState, "Absent");
    EXPECT_CALL(unlockOnTouch, deviceConfirmedGone).Times(0);
    pipeline->evaluatePresence();  // no readings yet
    EXPECT_EQ(presence(), "Present");
    EXPECT_TRUE(log.contains("Presence: Absent -> Present (engine decision)"));
}

TEST_F(PresenceReactionsTest, ForcedAbsenceFiresTheSinkOnceWithItsSource) {
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

class BluetoothLossTest : public PresenceReactionsTest,
                          public ::testing::WithParamInterface<LossCase> {};

TEST_P(BluetoothLossTest, LocksOnlyWhenTheDeviceWasNotNearby) {
    const LossCase& c = GetParam();
    settings.setBool(keys::notificationsAllowed, true);

    for (int raw : {-55, -60}) {
        reading(raw);
        EXPECT_CALL(away, performAwayAction).Times(0);
        EXPECT_CALL(sounds, play).Times(0);
        reactions->decideLockOnBluetoothLoss(c.loss);
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
    reactions->decideLockOnBluetoothLoss(c.loss);
    ::testing::Mock::VerifyAndClearExpectations(&away);

    ON_CALL(schedule, shouldSuppress()).WillByDefault(Return(true));
    EXPECT_CALL(away, performAwayAction).Times(0);
    reactions->decideLockOnBluetoothLoss(c.loss);
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

TEST_F(PresenceReactionsTest, BluetoothLossWithoutAnyReadingLocksButNotOnALockedScreen) {
    EXPECT_CALL(away, performAwayAction()).Times(1);
    EXPECT_CALL(notifications, showNotification).Times(0);  // not allowed
    reactions->decideLockOnBluetoothLoss(BluetoothLoss::poweredOff);
    ::testing::Mock::VerifyAndClearExpectations(&away);

    ON_CALL(screenLock, isLocked()).WillByDefault(Return(true));
    EXPECT_CALL(away, performAwayAction).Times(0);
    reactions->decideLockOnBluetoothLoss(BluetoothLoss::poweredOff);
    EXPECT_TRUE(log.contains(
        "Not locking screen despite Bluetooth off - device likely nearby (last RSSI: 0)"));
}

TEST_F(PresenceReactionsTest, ScreenUnlockWhileBluetoothIsOffKeepsTheDeviceAbsentWithoutActing) {
    ON_CALL(scanner, isCentralPoweredOn()).WillByDefault(Return(false));
    EXPECT_CALL(unlockOnTouch,
                deviceConfirmedGone(std::string_view("Bluetooth off at unlock, Present -> Absent")))
        .Times(1);
    EXPECT_CALL(away, performAwayAction).Times(0);
    EXPECT_CALL(sounds, play).Times(0);
    EXPECT_CALL(scanner, startPresenceTimer).Times(0);
    reactions->handleScreenLockChange(kScreenUnlockedNotice);
    reactions->handleScreenLockChange(kScreenUnlockedNotice);
    EXPECT_EQ(presence(), "Absent");
    EXPECT_EQ(settings.dateForKey(keys::lastScreenUnlockTime), std::nullopt);
    EXPECT_EQ(log.count("Screen unlocked but Bluetooth is off - maintaining absent state"), 2u);
}

TEST_F(PresenceReactionsTest, ScreenUnlockWithBluetoothOnRestartsMonitoring) {
    reading(127);
    settings.setBool(keys::canScan, true);
    loop.advanceBy(5);
    {
        InSequence order;
        EXPECT_CALL(scanner, startScanning());
        EXPECT_CALL(scanner, startPresenceTimer());
    }
    reactions->handleScreenLockChange(kScreenUnlockedNotice);
    EXPECT_EQ(settings.dateForKey(keys::lastScreenUnlockTime), clock.now());
    EXPECT_EQ(snapshot().consecutiveRSSIFailures, 0);
    EXPECT_EQ(snapshot().lastRSSIFailureTime, std::nullopt);
    EXPECT_TRUE(log.contains("Screen unlocked - previous state: Present"));
    ::testing::Mock::VerifyAndClearExpectations(&scanner);

    settings.setBool(keys::canScan, false);
    EXPECT_CALL(scanner, startScanning).Times(0);
    EXPECT_CALL(scanner, startPresenceTimer()).Times(1);
    reactions->handleScreenLockChange(kScreenUnlockedNotice);
    reactions->handleScreenLockChange("com.example.somethingElse");
}

TEST_F(PresenceReactionsTest, ScreenLockRecordsTheTimeAndLogsHowLongAgoThingsHappened) {
    settings.setDate(keys::lastScreenUnlockTime, clock.now());
    loop.advanceBy(12.34);
    reactions->handleScreenLockChange(kScreenLockedNotice);
    EXPECT_EQ(settings.dateForKey(keys::lastScreenLockTime), clock.now());
    EXPECT_TRUE(log.contains(
        "Screen locked - presence: Present, last away shortcut: never, last direct lock: never, "
        "last unlock: 12.3s ago"));
}

}  // namespace
}  // namespace ambleguard
