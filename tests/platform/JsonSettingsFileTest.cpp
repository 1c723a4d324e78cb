#include "platform/posix/AtomicFile.h"
#include "platform/posix/JsonSettingsFile.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A peek ahead of the store reads one value and touches nothing, so the store's own load still
// finds (and reports) whatever is wrong with the file.
TEST_F(JsonSettingsFileTest, APeekReadsOneValueAndLeavesEverythingAsItWas) {
    EXPECT_EQ(posix::JsonSettingsFile::peek(path, "unlockByTyping"), std::nullopt);  // no file
    writeRaw(R"({"unlockByTyping": true, "lockMode": "Lock Screen"})");
    EXPECT_EQ(posix::JsonSettingsFile::peek(path, "unlockByTyping"), SettingValue(true));
    EXPECT_EQ(posix::JsonSettingsFile::peek(path, "absent"), std::nullopt);

    writeRaw("{\"unlockByTyping\": tru");
    EXPECT_EQ(posix::JsonSettingsFile::peek(path, "unlockByTyping"), std::nullopt);
    EXPECT_EQ(folderEntries(), std::vector<fs::path>{path});
    posix::JsonSettingsFile file(path, clock);
    EXPECT_EQ(file.load().problems.size(), 1u);  // still the store's to report
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

TEST_F(JsonSettingsFileTest, FilesThatCannotBeSettingsAreRefusedWithoutHangingOrCrashing) {
    // Deep nesting under an unknown key: valid JSON, but copying it would overflow the stack.
    const std::size_t depth = 70000;
    writeRaw("{\"odd\": " + std::string(depth, '[') + std::string(depth, ']') + "}");
    {
        posix::JsonSettingsFile file(path, clock);
        SettingsStore store(file, log);
        EXPECT_TRUE(log.containsFragment("nested more than"));
        EXPECT_FALSE(fs::exists(path));  // kept aside under a new name
        ASSERT_EQ(folderEntries().size(), 1u);
    }

    // A file too large to be settings is kept aside the same way, without being read.
    fs::remove(folderEntries()[0]);
    writeRaw("{}");
    fs::resize_file(path, posix::kMaxReadSize + 1);
    {
        posix::JsonSettingsFile file(path, clock);
        SettingsStore store(file, log);
        EXPECT_TRUE(log.containsFragment("larger than 16 MiB"));
        EXPECT_FALSE(fs::exists(path));
    }

    // A FIFO (no writer) or an endless device is not read, and left alone.
    fs::remove(folderEntries()[0]);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    {
        posix::JsonSettingsFile file(path, clock);
        SettingsStore store(file, log);
        EXPECT_TRUE(log.containsFragment("not a regular file"));
        store.setBool(keys::canScan, true);
        EXPECT_TRUE(fs::is_fifo(path));
    }
    fs::remove(path);
    fs::create_symlink("/dev/zero", path);
    log.clear();
    posix::JsonSettingsFile file(path, clock);
    SettingsStore store(file, log);
    EXPECT_TRUE(log.containsFragment("not a regular file"));
    store.setBool(keys::canScan, true);
    EXPECT_EQ(fs::read_symlink(path), "/dev/zero");
}

TEST_F(JsonSettingsFileTest, ModerateNestingUnderAnUnknownKeyIsStillKept) {
    writeRaw("{\"odd\": " + std::string(200, '[') + std::string(200, ']') + "}");
    {
        posix::JsonSettingsFile file(path, clock);
        SettingsStore store(file, log);
        store.setBool(keys::canScan, true);
    }
    EXPECT_FALSE(log.containsFragment("could not be parsed"));
    std::string written = posix::readWholeFile(path).contents;
    std::erase_if(written, [](char c) { return c == ' ' || c == '\n'; });
    EXPECT_NE(written.find(std::string(200, '[') + std::string(200, ']')), std::string::npos);
}

TEST_F(JsonSettingsFileTest, LoadingRemovesTemporaryFilesOfDeadWritersOnly) {
    writeRaw("{}");
    const fs::path folder = path.parent_path();
    std::ofstream(folder / "settings.json.tmp-4242") << "stale copy";
    std::ofstream(folder / "settings.json.tmp-Ab12Cd") << "stale copy";
    std::ofstream(folder / "other.json.tmp-4242") << "not ours";
    // A writer that is still at work holds its temporary file locked.
    std::ofstream(folder / "settings.json.tmp-LiVe00") << "in progress";
    const int live = ::open((folder / "settings.json.tmp-LiVe00").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    {
        posix::JsonSettingsFile file(path, clock);
        SettingsStore store(file, log);
    }
    ::close(live);
    EXPECT_FALSE(fs::exists(folder / "settings.json.tmp-4242"));
    EXPECT_FALSE(fs::exists(folder / "settings.json.tmp-Ab12Cd"));
    EXPECT_TRUE(fs::exists(folder / "other.json.tmp-4242"));
    EXPECT_TRUE(fs::exists(folder / "settings.json.tmp-LiVe00"));
}

TEST_F(JsonSettingsFileTest, AFolderWritableByOthersIsMadeOwnerOnlyAndReported) {
    writeRaw("{}");
    fs::permissions(path.parent_path(), fs::perms::all);
    posix::JsonSettingsFile file(path, clock);
    SettingsStore store(file, log);
    EXPECT_EQ(fs::status(path.parent_path()).permissions(), fs::perms::owner_all);
    EXPECT_TRUE(log.containsFragment("was writable by other users"));

    // A folder that is fine is not reported.
    log.clear();
    posix::JsonSettingsFile again(path, clock);
    SettingsStore second(again, log);
    EXPECT_TRUE(log.entries().empty());
}

}  // namespace
}  // namespace ambleguard
