#include "platform/posix/AtomicFile.h"
#include "platform/posix/JsonSettingsFile.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TempDir.h"

namespace ambleguard {
namespace {

namespace fs = std::filesystem;

class JsonSettingsFileTest : public ::testing::Test {
  protected:
    void writeRaw(const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
    std::vector<fs::path> folderEntries() const {
        std::vector<fs::path> out;
        for (const auto& e : fs::directory_iterator(path.parent_path()))
            out.push_back(e.path());
        return out;
    }

    test::TempDir dir;
    fs::path path = dir.path() / "ambleguard" / "settings.json";
    sim::SimClock clock;
    sim::RecordingLogSink log;
};

TEST_F(JsonSettingsFileTest, EveryTypeSurvivesARoundTripThroughTheFile) {
    const Instant at = *parseIso8601("2026-12-06T08:17:23.125Z");
    {
        posix::JsonSettingsFile file(path, clock);
        SettingsStore store(file, log);
        store.setBool(keys::canScan, true);
        store.setInteger(keys::scheduleStartHour, 22);
        store.setDouble(keys::averageMinRSSI, -70.0);  // a whole double stays a double
        store.setString(keys::checkedPeripheralName, "Zoë's \"phone\"");
        store.setDate(keys::lastScreenLockTime, at);
    }
    posix::JsonSettingsFile file(path, clock);
    SettingsStore store(file, log);
    EXPECT_EQ(store.storedValue(keys::canScan), SettingValue(true));
    EXPECT_EQ(store.storedValue(keys::scheduleStartHour), SettingValue(std::int64_t{22}));
    EXPECT_EQ(store.storedValue(keys::averageMinRSSI), SettingValue(-70.0));
    EXPECT_EQ(store.stringForKey(keys::checkedPeripheralName), "Zoë's \"phone\"");
    EXPECT_EQ(store.dateForKey(keys::lastScreenLockTime), at);
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(JsonSettingsFileTest, CorruptFileIsKeptAsideNeverOverwrittenAndDefaultsApply) {
    writeRaw("{ this is not json");
    posix::JsonSettingsFile file(path, clock);
    SettingsStore store(file, log);
    EXPECT_FALSE(store.boolForKey(keys::canScan));
    ASSERT_EQ(log.entries().size(), 1u);
    EXPECT_EQ(log.entries()[0].level, LogLevel::error);
    EXPECT_TRUE(log.containsFragment("could not be parsed"));

    auto entries = folderEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_NE(entries[0].filename().string().find("settings.json.corrupt-"), std::string::npos);
    EXPECT_EQ(posix::readWholeFile(entries[0]).contents, "{ this is not json");

    // A new file starts; a second corrupt file gets a name of its own.
    store.setBool(keys::canScan, true);
    writeRaw("[1, 2]");
    posix::JsonSettingsFile again(path, clock);
    SettingsStore second(again, log);
    EXPECT_EQ(folderEntries().size(), 2u);
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(JsonSettingsFileTest, UnsupportedValuesReadAsAbsentButStayInTheFile) {
    writeRaw(R"({"canScan": true, "odd": [1, 2], "lastScreenLockTime": {"date": "not a date"}})");
    {
        posix::JsonSettingsFile file(path, clock);
        SettingsStore store(file, log);
        EXPECT_TRUE(store.boolForKey(keys::canScan));
        EXPECT_FALSE(store.objectForKey("odd"));
        EXPECT_FALSE(store.dateForKey(keys::lastScreenLockTime));
        EXPECT_TRUE(log.containsFragment("unsupported form"));
        store.setBool(keys::canScan, false);
    }
    const std::string text = posix::readWholeFile(path).contents;
    EXPECT_NE(text.find("\"odd\""), std::string::npos);
    EXPECT_NE(text.find("not a date"), std::string::npos);
}

TEST_F(JsonSettingsFileTest, UnwritableLocationKeepsWorkingInMemory) {
    // A plain file where the folder should be: nothing can be created there, even by root.
    std::ofstream(dir.path() / "blocked") << "x";
    posix::JsonSettingsFile file(dir.path() / "blocked" / "settings.json", clock);
    SettingsStore store(file, log);
    store.setDouble(keys::averageMinRSSI, -70);
    EXPECT_EQ(store.doubleForKey(keys::averageMinRSSI), -70);
    EXPECT_TRUE(store.isMemoryOnly());
    EXPECT_TRUE(log.containsFragment("could not be saved"));
}

}  // namespace
}  // namespace ambleguard
