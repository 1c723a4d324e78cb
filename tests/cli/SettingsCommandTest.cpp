#include <gtest/gtest.h>

#include <fstream>

#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace ambleguard {
namespace {

using test::runAmbleguard;

class SettingsCommandTest : public ::testing::Test {
  protected:
    test::ProgramResult run(std::vector<std::string> args) {
        args.insert(args.begin(), "settings");
        return runAmbleguard(args, dir.path());
    }
    test::TempDir dir;
};

TEST_F(SettingsCommandTest, ValuesPersistAcrossProcessesAndBadValuesAreRefused) {
    auto missing = run({"get", "canScan"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("canScan"), std::string::npos);

    EXPECT_EQ(run({"set", "averageMinRSSI", "-70"}).status, 0);
    auto value = run({"get", "averageMinRSSI"});
    EXPECT_EQ(value.status, 0);
    EXPECT_EQ(value.out, "-70\n");

    auto bad = run({"set", "averageMinRSSI", "abc"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("averageMinRSSI"), std::string::npos);
    EXPECT_NE(bad.err.find("double"), std::string::npos);
    EXPECT_EQ(run({"get", "averageMinRSSI"}).out, "-70\n");

    auto unknown = run({"set", "noSuchKey", "1"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("noSuchKey"), std::string::npos);
    EXPECT_EQ(run({"set", "scheduleStartHour", "7.5"}).status, 2);
}

TEST_F(SettingsCommandTest, ArgumentsAndStoredTextsReachTheTerminalEscaped) {
    const std::string hostile = "\x1b]0;owned\x07\xE2\x80\xAEx\xFF";
    const std::string escaped = "\\x1b]0;owned\\x07\\u202ex\xEF\xBF\xBD";
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"set", hostile, "1"},
                                               {"set", "averageMinRSSI", hostile},
                                               {"get", hostile},
                                               {"delete", hostile},
                                               {hostile}}) {
        auto result = run(args);
        EXPECT_NE(result.status, 0);
        EXPECT_NE(result.err.find(escaped), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\x1b'), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("\xE2\x80\xAE"), std::string::npos) << result.err;
    }

    // A stored text is listed escaped; `get` into a pipe gives it exactly, for scripts.
    ASSERT_EQ(run({"set", "checkedPeripheralName", hostile}).status, 0);
    const auto list = run({"list"});
    EXPECT_EQ(list.out.find('\x1b'), std::string::npos);
    EXPECT_NE(list.out.find("\\x1b]0;owned"), std::string::npos);
    auto get = run({"get", "checkedPeripheralName"});
    EXPECT_NE(get.out.find("\x1b]0;owned\x07\xE2\x80\xAEx"), std::string::npos);
}

TEST_F(SettingsCommandTest, ResetDetectionRestoresThresholdAndKeepsTheChosenDevice) {
    ASSERT_EQ(run({"set", "averageMinRSSI", "-70"}).status, 0);
    ASSERT_EQ(run({"set", "checkedPeripheralUUID", "8D5A2C1E-0F4B-4C3A-9E61-2B7D9F0A1C23"}).status,
              0);
    EXPECT_EQ(run({"reset-detection"}).status, 0);
    EXPECT_EQ(run({"get", "averageMinRSSI"}).out, "-67\n");
    EXPECT_EQ(run({"get", "checkedPeripheralUUID"}).out, "8D5A2C1E-0F4B-4C3A-9E61-2B7D9F0A1C23\n");

    EXPECT_EQ(run({"reset-all"}).status, 0);
    EXPECT_EQ(run({"get", "checkedPeripheralUUID"}).status, 1);
    EXPECT_EQ(run({"get", "hashedPIN"}).out, "\n");
}

TEST_F(SettingsCommandTest, DatesReadBackAsTheSameInstant) {
    ASSERT_EQ(run({"set", "lastScreenLockTime", "2026-12-06T09:17:23.125+01:00"}).status, 0);
    EXPECT_EQ(run({"get", "lastScreenLockTime"}).out, "2026-12-06T08:17:23.125Z\n");
    EXPECT_EQ(run({"set", "lastScreenLockTime", "tomorrow"}).status, 2);
}

TEST_F(SettingsCommandTest, ListShowsStoredValuesAndDefaults) {
    ASSERT_EQ(run({"set", "canScan", "true"}).status, 0);
    auto list = run({"list"});
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("canScan"), std::string::npos);
    EXPECT_NE(list.out.find("-67 (default)"), std::string::npos);
    EXPECT_NE(list.out.find("expandedDeviceListHeight"), std::string::npos);

    EXPECT_EQ(run({"delete", "canScan"}).status, 0);
    EXPECT_EQ(run({"delete", "canScan"}).status, 1);
}

TEST_F(SettingsCommandTest, GarbageFileIsReportedKeptAndDoesNotCrash) {
    const auto folder = dir.path() / "ambleguard";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "settings.json") << "\x01\x02 garbage {{{";
    auto result = run({"get", "canScan"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("could not be parsed"), std::string::npos);
    bool kept = false;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        kept = kept || test::slurp(entry.path()) == "\x01\x02 garbage {{{";
    }
    EXPECT_TRUE(kept);
}

TEST_F(SettingsCommandTest, HelpAndUsageErrors) {
    EXPECT_EQ(runAmbleguard({"--help"}, dir.path()).status, 0);
    EXPECT_EQ(run({"--help"}).status, 0);
    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({"get"}).status, 2);
    EXPECT_EQ(run({"frobnicate"}).status, 2);
    EXPECT_EQ(runAmbleguard({"nonsense"}, dir.path()).status, 2);
}

}  // namespace
}  // namespace ambleguard
