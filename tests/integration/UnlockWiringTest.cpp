// The unlock components as the composition root wires them: unlock on touch is started at
// launch and armed by the return path, and the self-test keeps the away and return paths away.

#include "cli/ScenarioLoader.h"
#include "cli/ScenarioRunner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ambleguard::cli {
namespace {

class Recorder final : public TranscriptSink {
  public:
    void entry(const TranscriptEntry& entry) override { entries.push_back(entry); }
    bool wantsLog(LogLevel) const override { return true; }

    // The time of the first entry whose text starts with `text`, or -1.
    double first(std::string_view text) const {
        for (const auto& e : entries) {
            if (e.text.starts_with(text)) {
                return e.t;
            }
        }
        return -1;
    }
    std::vector<TranscriptEntry> entries;
};

std::string scenario(const std::string& settings, const std::string& events) {
    return R"({"duration": 300,
      "settings": {"autoUnlockEnabled": true)" +
           settings + R"(},
      "session": {"password": "pw-123"}, "keychain": {"password": "pw-123"},
      "devices": [{"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345", "interval": 0.2,
                   "rssi": [[0, -52], [60, -54], [72, -88], [76, null], [200, -86], [210, -53]]}],
      "tracked": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
      "events": [)" +
           events + "]}";
}

struct UnlockRun {
    explicit UnlockRun(const std::string& json)
        : scenario(parseScenario(json).value()), runner(scenario, rec) {
        runner.run();
    }
    Scenario scenario;
    Recorder rec;
    ScenarioRunner runner;
};

TEST(UnlockWiring, TheReturnPathArmsUnlockOnTouchWhichUnlocksOnTheFirstKeyPress) {
    UnlockRun r(scenario(R"(, "unlockOnTouchForReturn": true)", R"({"at": 250, "input": true})"));
    EXPECT_GT(r.rec.first("Armed - waiting for user input"), 200.0);
    EXPECT_EQ(r.rec.first("Attempting screen unlock"), -1);
    const double typed = r.rec.first("Password typed, unlock attempted");
    EXPECT_GE(typed, 251.5);
    EXPECT_LE(typed, 252.0);
    EXPECT_FALSE(r.runner.platform.screenSession.screenLocked());
}

TEST(UnlockWiring, UnlockOnTouchArmsAfterAnyLockOnceStarted) {
    UnlockRun r(
        scenario(R"(, "unlockOnTouchForAnyLock": true)", R"({"at": 30, "screen": "lock"})"));
    EXPECT_EQ(r.rec.first("Screen locked - arming in 1.0s if the device is still present"), 30.0);
    EXPECT_EQ(r.rec.first("Armed - waiting for user input"), 31.0);
}

TEST(UnlockWiring, WhileTheSelfTestRunsTheReturnPathLeavesTheScreenAlone) {
    // The user unlocks by hand while the device is away and tests a wrong candidate at 205:
    // the test types at about 207.3 and waits until about 212.3, so it is still running when
    // the device returns at about 209.
    UnlockRun r(scenario("", R"({"at": 204, "screen": "unlock"},
                          {"at": 205, "selfTest": {"candidate": "wrong"}})"));
    const auto& out = r.rec.entries;
    bool skipped = false;
    for (const auto& e : out) {
        skipped = skipped || e.text == "Unlock action skipped - unlock self-test in progress";
    }
    EXPECT_TRUE(skipped);
    EXPECT_EQ(r.rec.first("Attempting screen unlock via keystroke injection"), -1);
}

}  // namespace
}  // namespace ambleguard::cli
