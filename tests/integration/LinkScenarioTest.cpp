// The shipped scenarios about links and tethers, run the way `ambleguard simulate` runs them:
// an idle phone kept present over a link, a beacon that is never connected to, and the tether
// notice that comes at most once an hour.

#include "cli/ScenarioLoader.h"
#include "cli/ScenarioRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ambleguard::cli {
namespace {

class Recorder final : public TranscriptSink {
  public:
    void entry(const TranscriptEntry& entry) override { entries.push_back(entry); }
    bool wantsLog(LogLevel) const override { return true; }
    std::vector<TranscriptEntry> entries;
};

std::string shipped(std::string_view name) {
    std::ifstream in(std::string(AMBLEGUARD_SCENARIOS_DIR) + "/" + std::string(name));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The scenario with these settings added (as if the user had chosen them beforehand).
std::string withSettings(const std::string& text, const nlohmann::json& settings) {
    auto document = nlohmann::json::parse(text);
    for (const auto& [key, value] : settings.items()) {
        document["settings"][key] = value;
    }
    return document.dump();
}

struct Simulated {
    explicit Simulated(const std::string& text) {
        auto result = parseScenario(text);
        if (!result) {
            const ScenarioError& error = result.error();
            ADD_FAILURE() << "scenario refused: " << error.describe();
            return;
        }
        scenario = std::move(result).value();
        runner = std::make_unique<ScenarioRunner>(scenario, rec);
        runner->run();
    }
    std::vector<double> times(TranscriptEntry::Kind kind, std::string_view name) const {
        std::vector<double> found;
        for (const auto& e : rec.entries) {
            if (e.kind == kind &&
                (e.kind == TranscriptEntry::Kind::log ? e.text.find(name) != std::string::npos
                                                      : e.name == name)) {
                found.push_back(e.t);
            }
        }
        return found;
    }
    std::vector<double> actions(std::string_view name) const {
        return times(TranscriptEntry::Kind::action, name);
    }
    std::vector<double> logged(std::string_view text) const {
        return times(TranscriptEntry::Kind::log, text);
    }

    Scenario scenario;
    Recorder rec;
    std::unique_ptr<ScenarioRunner> runner;
};

TEST(LinkScenarioTest, AnIdlePhoneAtTheDeskStaysPresentOverItsLinkUntilItLeaves) {
    const std::string text = shipped("quiet-phone.json");
    Simulated with(text);
    ASSERT_TRUE(with.runner);
    const auto locks = with.actions("lockScreen");
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_GE(locks[0], 600.0);
    EXPECT_LE(locks[0], 660.0);
    EXPECT_EQ(with.runner->summary().departures, 1);
    // One link, asked for when the phone was first seen, kept all along.
    const auto connects = with.actions("connect");
    ASSERT_FALSE(connects.empty());
    EXPECT_LT(connects[0], 2.0);
    EXPECT_TRUE(with.logged("Connected feed live").size() >= 1u);
    EXPECT_TRUE(with.logged("Connection feed torn down").empty() ||
                with.logged("Connection feed torn down")[0] > 600.0);

    // Passive listening only: the same morning ends soon after the phone goes quiet.
    Simulated without(withSettings(text, {{"disableConnectedPrimary", true}}));
    ASSERT_TRUE(without.runner);
    EXPECT_TRUE(without.actions("connect").empty());
    const auto early = without.actions("lockScreen");
    ASSERT_FALSE(early.empty());
    EXPECT_GT(early[0], 60.0);
    EXPECT_LT(early[0], 120.0);
}

TEST(LinkScenarioTest, ABeaconIsNeverConnectedToAndIsJudgedGoneWhenItFallsSilent) {
    Simulated run(shipped("quiet-beacon.json"));
    ASSERT_TRUE(run.runner);
    EXPECT_TRUE(run.actions("connect").empty());
    EXPECT_TRUE(run.logged("Connect attempt").empty());
    const auto locks = run.actions("lockScreen");
    ASSERT_FALSE(locks.empty());
    EXPECT_GT(locks[0], 60.0);
    EXPECT_LT(locks[0], 120.0);
}

TEST(LinkScenarioTest, TethersAreLoggedAndNoticedAtMostOnceAnHour) {
    Simulated run(shipped("hotspot.json"));
    ASSERT_TRUE(run.runner);
    const auto notifications = run.actions("notification");
    // The hotspot at 120 s; the Bluetooth tether and the return to the hotspot within the hour
    // pass silently; the hotspot after lunch, 63 minutes later, is noticed again.
    ASSERT_EQ(notifications.size(), 2u);
    EXPECT_DOUBLE_EQ(notifications[0], 120.0);
    EXPECT_DOUBLE_EQ(notifications[1], 3900.0);
    EXPECT_EQ(run.logged("Hotspot link detected: Wi-Fi Instant Hotspot").size(), 3u);
    EXPECT_EQ(run.logged("Hotspot link detected: Bluetooth PAN").size(), 1u);
    EXPECT_EQ(run.logged("Hotspot link ended").size(), 1u);
    // The controller's busy moment is written down and changes nothing else.
    EXPECT_EQ(run.logged("Diagnostic Event").size() >= 2u, true);
    EXPECT_EQ(run.runner->summary().departures, 0);
}

}  // namespace
}  // namespace ambleguard::cli
