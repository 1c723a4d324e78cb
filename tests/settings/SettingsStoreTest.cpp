#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "settings/BoundSetting.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsReaders.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

namespace ambleguard {
namespace {

class SettingsStoreTest : public ::testing::Test {
  protected:
    sim::MemorySettings persistence;
    sim::RecordingLogSink log;
    SettingsStore store{persistence, log};
};

TEST_F(SettingsStoreTest, NeverWrittenKeysReadAsFalseZeroOrAbsentForDirectReaders) {
    EXPECT_FALSE(store.boolForKey(keys::canScan));
    EXPECT_EQ(store.integerForKey(keys::scheduleStartHour), 0);
    EXPECT_EQ(store.doubleForKey(keys::averageMinRSSI), 0.0);
    EXPECT_FALSE(store.stringForKey(keys::lockMode));
    EXPECT_FALSE(store.dateForKey(keys::lastScreenUnlockTime));
    EXPECT_FALSE(store.objectForKey(keys::checkedPeripheralUUID));
}

TEST_F(SettingsStoreTest, BoundReadersShowTheirDefaultWhileDirectReadersDisagree) {
    BoundSetting<bool> panelSwitch(store, keys::activityMonitorEnabled, true);
    BoundSetting<std::int64_t> panelStartHour(store, keys::scheduleStartHour, 1);
    EXPECT_TRUE(panelSwitch.get());
    EXPECT_FALSE(store.boolForKey(keys::activityMonitorEnabled));
    EXPECT_EQ(panelStartHour.get(), 1);
    EXPECT_EQ(store.integerForKey(keys::scheduleStartHour), 0);

    panelSwitch.set(false);
    EXPECT_FALSE(panelSwitch.get());
    EXPECT_EQ(store.storedValue(keys::activityMonitorEnabled), SettingValue(false));
}

TEST_F(SettingsStoreTest, ReaderFallbacksForCooldownsAndThreshold) {
    EXPECT_EQ(effectiveUnlockCooldownPeriod(store), 1.0);
    EXPECT_EQ(effectiveActivityMonitorThreshold(store), 10.0);
    store.setDouble(keys::unlockCooldownPeriod, 0.0);
    store.setDouble(keys::lockCooldownPeriod, -3.0);
    store.setDouble(keys::activityMonitorThreshold, 0.0);
    EXPECT_EQ(effectiveUnlockCooldownPeriod(store), 1.0);
    EXPECT_EQ(effectiveLockCooldownPeriod(store), 1.0);
    EXPECT_EQ(effectiveActivityMonitorThreshold(store), 10.0);
    store.setDouble(keys::lockCooldownPeriod, 2.5);
    EXPECT_EQ(effectiveLockCooldownPeriod(store), 2.5);
    EXPECT_EQ(storedPresenceState(store), "Present");
}

TEST_F(SettingsStoreTest, ValueOfTheWrongTypeReadsAsAbsentButNumbersConvert) {
    store.setString(keys::canScan, "yes");
    store.setBool(keys::averageMinRSSI, true);
    store.setInteger(keys::lastSeenTimeout, 3);
    store.setDouble(keys::scheduleEndHour, 7.9);
    store.setString(keys::lastScreenLockTime, "2026-01-01T00:00:00Z");

    EXPECT_FALSE(store.boolForKey(keys::canScan));
    EXPECT_EQ(BoundSetting<double>(store, keys::averageMinRSSI, -67.0).get(), -67.0);
    EXPECT_EQ(store.doubleForKey(keys::lastSeenTimeout), 3.0);
    EXPECT_EQ(store.integerForKey(keys::scheduleEndHour), 7);
    EXPECT_FALSE(store.dateForKey(keys::lastScreenLockTime));
    // Nothing was thrown away: the stored value is still there as written.
    EXPECT_EQ(store.storedValue(keys::canScan), SettingValue(std::string("yes")));
}

TEST_F(SettingsStoreTest, RegisteredDefaultsAreSeenByEveryReaderUntilWritten) {
    store.registerDefaults({{"soundVolume", 0.4}, {"soundOnLeave", std::string("bundled:Drift")}});
    EXPECT_EQ(store.doubleForKey(keys::soundVolume), 0.4);
    EXPECT_EQ(BoundSetting<double>(store, keys::soundVolume, 0.9).get(), 0.4);
    EXPECT_FALSE(store.storedValue(keys::soundVolume));
    store.setDouble(keys::soundVolume, 0.7);
    EXPECT_EQ(store.doubleForKey(keys::soundVolume), 0.7);
    store.removeObject(keys::soundVolume);
    EXPECT_EQ(store.doubleForKey(keys::soundVolume), 0.4);
    // Registered values are never written to disk.
    EXPECT_EQ(persistence.values().count("soundOnLeave"), 0u);
}

TEST_F(SettingsStoreTest, ChangeSignalFollowsEveryWriteWithTheValueAlreadyVisible) {
    std::vector<bool> seen;
    auto connection = store.onChange([&] { seen.push_back(store.boolForKey(keys::canScan)); });
    store.setBool(keys::canScan, true);
    store.setBool(keys::canScan, true);  // unchanged value still announces the write
    store.removeObject(keys::canScan);
    EXPECT_EQ(seen, (std::vector<bool>{true, true, false}));
    connection.reset();
    store.setBool(keys::canScan, true);
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(SettingsStoreTest, EveryWriteIsPersistedAndDatesKeepSubSeconds) {
    const Instant at = *parseIso8601("2026-12-06T08:17:23.125Z");
    store.setDate(keys::lastScreenLockTime, at);
    EXPECT_EQ(persistence.saveCount(), 1);
    SettingsStore reopened(persistence, log);
    EXPECT_EQ(reopened.dateForKey(keys::lastScreenLockTime), at);
}

TEST_F(SettingsStoreTest, NonFiniteNumbersAreRefused) {
    store.setDouble(keys::averageMinRSSI, -70);
    store.setDouble(keys::averageMinRSSI, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(store.doubleForKey(keys::averageMinRSSI), -70);
    EXPECT_TRUE(log.containsFragment("non-finite"));
}

TEST_F(SettingsStoreTest, FailedWritesKeepWorkingInMemoryAndAreReportedOnce) {
    persistence.setFailWrites(true);
    store.setBool(keys::canScan, true);
    store.setDouble(keys::averageMinRSSI, -70);
    EXPECT_TRUE(store.boolForKey(keys::canScan));
    EXPECT_TRUE(store.isMemoryOnly());
    EXPECT_EQ(log.entries().size(), 1u);
    EXPECT_EQ(log.entries()[0].level, LogLevel::error);

    persistence.setFailWrites(false);
    EXPECT_TRUE(store.synchronize());
    EXPECT_FALSE(store.isMemoryOnly());
    EXPECT_EQ(persistence.values().at("averageMinRSSI"), SettingValue(-70.0));
}

TEST(SettingsKeyTableTest, EveryKeyIsListedOnceWithADefaultOfItsOwnType) {
    std::set<std::string_view> names;
    for (const auto& entry : settingKeyTable()) {
        EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
        if (entry.boundDefault) {
            EXPECT_EQ(typeOf(*entry.boundDefault), entry.type) << entry.name;
        }
    }
    EXPECT_EQ(names.size(), 60u);
    ASSERT_NE(findSettingKey("scheduleEndHour"), nullptr);
    EXPECT_EQ(findSettingKey("scheduleEndHour")->type, SettingType::integer);
    EXPECT_EQ(findSettingKey("nope"), nullptr);
}

}  // namespace
}  // namespace ambleguard
