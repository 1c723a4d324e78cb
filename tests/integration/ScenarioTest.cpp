// Whole roads through the program, run the way `ambleguard simulate` runs them: a scenario is
// loaded, the program is composed and launched on the simulated platform, and the transcript
// (log lines, standard output, platform actions) is what the tests look at.

#include "cli/ScenarioLoader.h"
#include "cli/ScenarioRunner.h"
#include "cli/SimulateCommand.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <vector>

namespace ambleguard::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kPhone = "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345";

class Recorder final : public TranscriptSink {
  public:
    void entry(const TranscriptEntry& entry) override { entries.push_back(entry); }
    bool wantsLog(LogLevel) const override { return true; }
    std::vector<TranscriptEntry> entries;
};

Scenario parsed(std::string_view json) {
    auto result = parseScenario(json);
    if (!result) {
        const ScenarioError& error = result.error();
        ADD_FAILURE() << "scenario refused: " << error.describe();
        return {};
    }
    return std::move(result).value();
}

// A scenario run to its end, with what happened.
class Simulation {
  public:
    explicit Simulation(std::string_view json) : scenario_(parsed(json)), runner(scenario_, rec) {
        runner.run();
    }

    // Times of the actions of this name (lockScreen, screenLocked, shortcut, sound, ...).
    std::vector<double> actions(std::string_view name) const {
        std::vector<double> times;
        for (const auto& e : rec.entries) {
            if (e.kind == TranscriptEntry::Kind::action && e.name == name) {
                times.push_back(e.t);
            }
        }
        return times;
    }
    // Times of the log lines containing `text`.
    std::vector<double> logged(std::string_view text) const {
        std::vector<double> times;
        for (const auto& e : rec.entries) {
            if (e.kind == TranscriptEntry::Kind::log && e.text.find(text) != std::string::npos) {
                times.push_back(e.t);
            }
        }
        return times;
    }
    // (time, detail) of the actions of this name, e.g. the shortcuts with their names.
    std::vector<std::pair<double, std::string>> actions(std::string_view name,
                                                        std::string_view field) const {
        std::vector<std::pair<double, std::string>> found;
        for (const auto& e : rec.entries) {
            if (e.kind == TranscriptEntry::Kind::action && e.name == name) {
                found.emplace_back(e.t, e.field(field));
            }
        }
        return found;
    }

  private:
    Scenario scenario_;

  public:
    Recorder rec;
    ScenarioRunner runner;
};

// The tracked phone with a signal timeline (JSON points), advertising five times a second with
// a little noise.
std::string phone(std::string_view rssi) {
    return std::string(R"({ "id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345", "name": "Phone",
        "interval": 0.2, "noise": {"sigma": 2, "seed": 5}, "rssi": )") +
           std::string(rssi) + "}";
}

std::string scenario(double duration, std::string_view rssi, std::string_view extra = "") {
    return "{\"duration\": " + std::to_string(duration) + ", \"devices\": [" + phone(rssi) +
           "], \"tracked\": \"" + kPhone + "\"" + (extra.empty() ? "" : ", ") + std::string(extra) +
           "}";
}

// The walk away used throughout: at the desk until 60 s, out of range from 78 s.
constexpr const char* kWalksAwayAt60 = "[[0, -52], [60, -53], [72, -86], [78, null]]";

bool within(double t, double from, double to) {
    return t >= from && t <= to;
}

TEST(ScenarioTest, TheBuiltInStoryLocksOnTheWalkAwayReportsTheReturnAndRunsBothShortcuts) {
    Simulation s(defaultScenarioText());

    // Alex walks away at 60 s: one lock, within seconds, and nothing while the phone was near.
    const auto locks = s.actions("lockScreen");
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_TRUE(within(locks[0], 62, 80)) << locks[0];
    ASSERT_EQ(s.actions("screenLocked").size(), 1u);

    // Back at 200 s: the return is reported (its sound, the unlock attempt, which finds
    // auto-unlock off) before Alex types the password at 216 s.
    const auto sounds = s.actions("sound", "file");
    const auto returnSound = std::find_if(sounds.begin(), sounds.end(), [](const auto& sound) {
        return sound.second.find("return") != std::string::npos;
    });
    ASSERT_NE(returnSound, sounds.end());
    EXPECT_TRUE(within(returnSound->first, 200, 216)) << returnSound->first;
    EXPECT_FALSE(s.logged("Auto-unlock is disabled").empty());

    // The second departure runs the away shortcut within seconds, the return the return one;
    // the screen stays unlocked in shortcut mode.
    const auto shortcuts = s.actions("shortcut", "name");
    ASSERT_EQ(shortcuts.size(), 2u);
    EXPECT_EQ(shortcuts[0].second, "Leave Desk");
    EXPECT_TRUE(within(shortcuts[0].first, 362, 380)) << shortcuts[0].first;
    EXPECT_EQ(shortcuts[1].second, "Back At Desk");
    EXPECT_TRUE(within(shortcuts[1].first, 500, 520)) << shortcuts[1].first;

    EXPECT_EQ(s.runner.summary().departures, 2);
    EXPECT_EQ(s.runner.summary().returns, 2);
    EXPECT_EQ(s.runner.summary().screenLocks, 1);
}

// A deferred retry lands after its deadline even when the deadline has digits below a
// microsecond; rounding the wait down once made the retry fire at the same instant for ever.
TEST(ScenarioTest, CooldownsWithDigitsBelowAMicrosecondStillEnd) {
    for (const char* key : {"unlockCooldownPeriod", "lockCooldownPeriod"}) {
        SCOPED_TRACE(key);
        auto story = nlohmann::json::parse(defaultScenarioText());
        story["settings"][key] = 200.0000004;
        story["settings"]["activityMonitorEnabled"] = true;
        story["settings"]["activityMonitorThreshold"] = 5.0000004;
        Simulation s(story.dump());
        EXPECT_EQ(s.runner.summary().departures, 2);
    }
}

TEST(ScenarioTest, APhoneThatStaysAtTheDeskNeverLocksTheScreen) {
    // An hour of a noisy signal a few dB above the threshold.
    Simulation s(R"({"duration": 3600, "devices": [{ "id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
        "interval": 0.2, "noise": {"sigma": 4, "seed": 21}, "rssi": [[0, -60]] }],
        "tracked": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345"})");
    EXPECT_THAT(s.actions("lockScreen"), IsEmpty());
    EXPECT_EQ(s.runner.summary().departures, 0);
    EXPECT_THAT(s.actions("notification"), IsEmpty());
}

TEST(ScenarioTest, BluetoothSwitchedOffNearThePhoneDoesNotLockAndScanningResumesWhenItIsBack) {
    Simulation s(scenario(240, "[[0, -52]]", R"("events": [{"at": 60, "bluetooth": "poweredOff"},
        {"at": 120, "bluetooth": "poweredOn"}])"));
    EXPECT_THAT(s.actions("lockScreen"), IsEmpty());
    EXPECT_THAT(s.logged("Not locking screen despite Bluetooth off - device likely nearby"),
                ElementsAre(60.0));
    // Scanning comes back by itself, and the phone with it.
    const auto restarts = s.logged("Starting continuous scanning for monitoring");
    ASSERT_FALSE(restarts.empty());
    EXPECT_TRUE(within(restarts.back(), 120, 121)) << restarts.back();
    EXPECT_EQ(s.runner.summary().returns, 1);
}

TEST(ScenarioTest, BluetoothSwitchedOffAsThePhoneLeavesLocksTheScreen) {
    // The phone is already far (last reading -85) but the engine has not decided yet.
    Simulation s(scenario(240, "[[0, -52], [60, -52], [63, -85]]",
                          R"("events": [{"at": 64, "bluetooth": "poweredOff"}])"));
    EXPECT_THAT(s.logged("(Lock Screen) Bluetooth state: Powered Off, device not nearby"),
                ElementsAre(64.0));
    const auto locks = s.actions("lockScreen");
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_NEAR(locks[0], 67.0, 0.01);  // the away action's grace delay
}

TEST(ScenarioTest, SleepStopsScanningWithoutLockingAndWakeStartsItAgain) {
    // Sleep and wake while the phone stays at the desk.
    Simulation s(scenario(300, "[[0, -52]]", R"("events": [{"at": 60.1, "system": "sleep"},
        {"at": 120, "system": "wake"}])"));
    EXPECT_THAT(s.logged("System sleep - stopping scan"), ElementsAre(60.1));
    EXPECT_THAT(s.logged("Start scan in handleWorkspaceNotification"), ElementsAre(120.0));
    const auto restarts = s.logged("Starting continuous scanning for monitoring");
    ASSERT_EQ(restarts.size(), 2u);  // at launch and on wake
    EXPECT_DOUBLE_EQ(restarts[1], 120.0);
    // Forced gone for the night, back on the first readings after wake; never locked.
    EXPECT_THAT(s.logged("Presence: Present -> Absent (system sleep)"), ElementsAre(60.1));
    EXPECT_EQ(s.runner.summary().returns, 1);
    EXPECT_THAT(s.actions("lockScreen"), IsEmpty());
}

TEST(ScenarioTest, SwitchingToAnotherUserAndBackReachesTheScanner) {
    Simulation s(scenario(200, "[[0, -52]]", R"("events": [{"at": 60, "session": "switchAway"},
        {"at": 120, "session": "switchBack"}])"));
    EXPECT_THAT(s.logged("User switched away"), ElementsAre(60.0));
    EXPECT_THAT(s.logged("User switched back"), ElementsAre(120.0));
    // The switch is not a departure, and the program locks nothing for it.
    EXPECT_EQ(s.runner.summary().departures, 0);
    EXPECT_THAT(s.actions("lockScreen"), IsEmpty());
}

TEST(ScenarioTest, APhoneThatLeftDuringSleepLocksTheScreenAfterWakeOnceTheWindowHasPassed) {
    // Out of range from 100 s, while the computer sleeps from 60 s to 200 s.
    const std::string events = R"("events": [{"at": 60.1, "system": "sleep"},
        {"at": 200, "system": "wake"}])";
    Simulation s(scenario(300, "[[0, -52], [100, null]]", events));
    // 30 s of silence plus the 1 s action delay after the wake, at the next presence tick.
    const auto departures = s.logged("Device not heard since wake - acting on the departure");
    ASSERT_EQ(departures.size(), 1u);
    EXPECT_TRUE(within(departures[0], 231, 232)) << departures[0];
    const auto locks = s.actions("lockScreen");
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_NEAR(locks[0], departures[0] + 3, 0.01);  // after the away action's grace delay
    EXPECT_EQ(s.runner.summary().departures, 1);

    // A screen locked before the window ends needs nothing more.
    Simulation locked(scenario(300, "[[0, -52], [100, null]]",
                               R"("events": [{"at": 60.1, "system": "sleep"},
        {"at": 200, "system": "wake"}, {"at": 210, "screen": "lock"}])"));
    EXPECT_EQ(locked.logged("Device not heard since wake - screen already locked").size(), 1u);
    EXPECT_THAT(locked.actions("lockScreen"), IsEmpty());

    // Still heard after the wake, but only faintly from the next room: a departure all the same.
    Simulation faint(scenario(400, "[[0, -52], [99.9, -52], [100, -90]]", events));
    const auto faintDepartures =
        faint.logged("Device only heard faintly since wake - acting on the departure");
    ASSERT_EQ(faintDepartures.size(), 1u);
    EXPECT_GE(faintDepartures[0], 231);
    EXPECT_EQ(faint.actions("lockScreen").size(), 1u);

    // The phone back on the desk at wake: no departure at all (the sleep-and-wake story).
    Simulation back(scenario(300, "[[0, -52]]", events));
    EXPECT_THAT(back.logged("Device not heard since wake"), IsEmpty());
    EXPECT_EQ(back.runner.summary().departures, 0);
}

TEST(ScenarioTest, ABeaconRotatingItsAddressStaysTrackedUntilItReallyLeaves) {
    Simulation s(R"({"duration": 450,
      "devices": [{ "id": "B7E0C1D2-3A4B-4C5D-8E6F-708192A3B4C5", "interval": 0.5,
        "manufacturerData": "1801 beac 12345678 9abcdef0 9abcdef0 9abcdef0 00010002 c5 00",
        "noise": {"sigma": 2, "seed": 5},
        "rssi": [[0, -55], [300, -55], [312, -88], [318, null]],
        "addressChanges": [{"at": 100}, {"at": 200}] }],
      "tracked": "B7E0C1D2-3A4B-4C5D-8E6F-708192A3B4C5"})");
    EXPECT_EQ(s.logged("Tracked beacon rotated address, re-adopting").size(), 2u);
    // Nothing changes at the rotations; the one departure is the real one.
    EXPECT_EQ(s.runner.summary().departures, 1);
    const auto locks = s.actions("lockScreen");
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_TRUE(within(locks[0], 300, 330)) << locks[0];
}

TEST(ScenarioTest, AScheduleWindowSuppressesTheLockInsideItAndNotAfterIt) {
    // 10:00 local: inside the 09:00-10:05 "suspend" window until five minutes in.
    Simulation s(scenario(600,
                          "[[0, -52], [60, -53], [72, -86], [78, null], [200, -86], [212, -52],"
                          " [400, -53], [412, -86], [418, null]]",
                          R"("start": "2026-01-05T09:00:00Z", "utcOffsetMinutes": 60,
        "settings": {"scheduleEnabled": true, "scheduleMode": "suspend",
          "scheduleStartHour": 9, "scheduleStartMinute": 0,
          "scheduleEndHour": 10, "scheduleEndMinute": 5, "soundsEnabled": true})"));
    EXPECT_EQ(s.runner.summary().departures, 2);
    EXPECT_FALSE(s.logged("Lock suppressed by schedule (device gone)").empty());
    // The suppressed departure is silent; the one after the window plays and locks.
    const auto sounds = s.actions("sound");
    ASSERT_EQ(sounds.size(), 1u);
    EXPECT_GT(sounds[0], 400);
    const auto locks = s.actions("lockScreen");
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_TRUE(within(locks[0], 400, 420)) << locks[0];
}

TEST(ScenarioTest, SomeoneBusyAtTheKeyboardDefersTheLockUntilTheyStop) {
    Simulation s(scenario(300, kWalksAwayAt60, R"("settings": {"activityMonitorEnabled": true},
        "events": [{"at": 0, "input": {"until": 120, "every": 1}}])"));
    EXPECT_FALSE(s.logged("Away action deferred - user active").empty());
    const auto locks = s.actions("lockScreen");
    ASSERT_EQ(locks.size(), 1u);
    // Ten seconds of idle after the last input at 120 s, then the grace delay.
    EXPECT_NEAR(locks[0], 133.0, 0.5);
}

TEST(ScenarioTest, RepeatedZeroReadingsRequestABluetoothResetAtMostOncePerCooldown) {
    // A radio that reports 0 dBm for the phone for ten seconds (no noise: exactly 0).
    Simulation s(R"({"duration": 120, "devices": [{ "id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
        "interval": 0.2, "rssi": [[0, -52], [30, -52], [30, 0], [40, 0], [40, -52]] }],
        "tracked": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345"})");
    const auto requests = s.logged("Repeated RSSI = 0 (count: 4) -> Bluetooth reset");
    ASSERT_GT(requests.size(), 3u);
    EXPECT_NEAR(requests[0], 30.6, 0.01);  // the fourth zero
    // One reset; the requests after it fall in its cooldown.
    EXPECT_THAT(s.logged("Resetting centralManager (enhanced strategy)"), ElementsAre(30.6));
    EXPECT_EQ(s.logged("Bluetooth reset skipped due to cooldown period").size(),
              requests.size() - 1);
    // Ten seconds without a usable reading is not a departure.
    EXPECT_EQ(s.runner.summary().departures, 0);
    EXPECT_THAT(s.actions("lockScreen"), IsEmpty());
}

TEST(ScenarioTest, AFailingAwayShortcutIsReportedOnceAndNotRetried) {
    Simulation s(scenario(300, kWalksAwayAt60, R"("settings": {"lockMode": "Run Shortcut",
        "shortcutNameOnLock": "Leave"},
        "events": [{"at": 10, "shortcut": "Leave", "exitStatus": 1, "stderr": "No such shortcut"}])"));
    const auto runs = s.actions("shortcut", "name");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].second, "Leave");
    EXPECT_EQ(s.logged("Away shortcut reported failure").size(), 1u);
    EXPECT_THAT(s.actions("lockScreen"), IsEmpty());
}

TEST(ScenarioTest, TheUpdateCheckTwoSecondsAfterLaunchReportsWhatTheServiceSaid) {
    Simulation found(scenario(
        10, "[[0, -52]]", R"("updates": {"status": 200, "body": "58\n", "currentBuild": "57"})"));
    EXPECT_THAT(found.logged("Update check completed - Current Build: 57, Remote Build: 58, "
                             "Update Available: true"),
                ElementsAre(2.0));
    EXPECT_THAT(found.actions("updateMenu", "title"),
                ElementsAre(std::pair{2.0, std::string("Update Available! \u2B06\uFE0F")}));

    Simulation down(
        scenario(10, "[[0, -52]]", R"("updates": {"error": "The network connection was lost."})"));
    EXPECT_THAT(down.logged("Update check failed: The network connection was lost."),
                ElementsAre(2.0));
    EXPECT_THAT(down.actions("updateMenu"), IsEmpty());

    // A scenario without a version service is a build without the check: not a word about it.
    Simulation silent(scenario(10, "[[0, -52]]"));
    EXPECT_THAT(silent.logged("Update check"), IsEmpty());
    EXPECT_THAT(silent.actions("updateMenu"), IsEmpty());
}

}  // namespace
}  // namespace ambleguard::cli
