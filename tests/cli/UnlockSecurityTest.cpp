// Every road by which the program unlocks, run in the simulated world with everything it logs,
// prints and does written out in full (text and JSON, every level): the login password must
// appear in none of it. Each road is also checked to have really happened, so that a scan of
// an empty transcript cannot pass.

#include "cli/ScenarioLoader.h"
#include "cli/ScenarioRunner.h"
#include "cli/TranscriptPrinter.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace ambleguard::cli {
namespace {

// The example scenarios' password, and parts of it long enough to mean a leak.
const std::string kPassword = "walkme\xF0\x9F\x90\x8E gallops home";
const std::vector<std::string> kLeaks = {kPassword, "walkme", "gallops", "\xF0\x9F\x90\x8E",
                                         "galops"};

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Writes every entry in both formats into memory.
class FullTranscript final : public TranscriptSink {
  public:
    FullTranscript()
        : textFile_(open_memstream(&textBuffer_, &textSize_)),
          jsonFile_(open_memstream(&jsonBuffer_, &jsonSize_)),
          text_(textFile_, TranscriptPrinter::Format::text, LogLevel::debug),
          json_(jsonFile_, TranscriptPrinter::Format::json, LogLevel::debug) {}
    ~FullTranscript() override {
        std::fclose(textFile_);
        std::fclose(jsonFile_);
        std::free(textBuffer_);
        std::free(jsonBuffer_);
    }
    void entry(const TranscriptEntry& entry) override {
        text_.entry(entry);
        json_.entry(entry);
    }
    bool wantsLog(LogLevel) const override { return true; }

    std::string all() {
        std::fflush(textFile_);
        std::fflush(jsonFile_);
        return std::string(textBuffer_, textSize_) + std::string(jsonBuffer_, jsonSize_);
    }

  private:
    char* textBuffer_ = nullptr;
    std::size_t textSize_ = 0;
    char* jsonBuffer_ = nullptr;
    std::size_t jsonSize_ = 0;
    std::FILE* textFile_;
    std::FILE* jsonFile_;
    TranscriptPrinter text_;
    TranscriptPrinter json_;
};

void expectNoLeak(const std::string& output, const std::string& road) {
    for (const auto& leak : kLeaks) {
        EXPECT_EQ(output.find(leak), std::string::npos) << road << " leaks \"" << leak << "\"";
    }
}

// Runs a scenario; returns the transcript and checks the run's processes and the keychain.
std::string run(const std::string& json, const std::string& road) {
    auto parsed = parseScenario(json);
    if (!parsed) {
        const ScenarioError& error = parsed.error();
        ADD_FAILURE() << road << ": " << error.describe();
        return {};
    }
    FullTranscript transcript;
    ScenarioRunner runner(parsed.value(), transcript);
    runner.run();
    std::string output = transcript.all();
    // Nothing the program started carried it on its command line.
    for (const auto& process : runner.platform.processLauncher.runs()) {
        std::string commandLine = process.executable;
        for (const auto& arg : process.arguments) {
            commandLine += " " + arg;
        }
        expectNoLeak(commandLine, road + " (process)");
    }
    // Typed text never lingers in the lock screen's field.
    EXPECT_EQ(runner.platform.lockScreen.fieldLength(), 0u) << road;
    EXPECT_EQ(runner.platform.lockScreen.unitsTypedOnDesktop(), 0u) << road;
    return output;
}

std::string example(const char* name) {
    return readFile(std::string(AMBLEGUARD_SCENARIOS_DIR) + "/" + name);
}

// The request road and the self-test on it, and a keychain item that is not text.
std::string requestScenario() {
    auto json = example("auto-unlock.json");
    const auto at = json.find("\"unlock\": \"keystrokes\"");
    json.replace(at, std::string("\"unlock\": \"keystrokes\"").size(), "\"unlock\": \"request\"");
    return json;
}

TEST(UnlockSecurity, NoRoadShowsThePassword) {
    struct Road {
        std::string name;
        std::string json;
        std::string proof;  // a text the road must have produced
    };
    const std::vector<Road> roads = {
        {"auto-unlock", example("auto-unlock.json"), "Auto-unlock succeeded"},
        {"wrong password", example("auto-unlock-wrong-password.json"), "Auto-unlock failed"},
        {"unlock on touch", example("unlock-on-touch.json"), "User input detected"},
        {"self-test", example("unlock-self-test.json"), "failure(screenStayedLocked)"},
        {"session request", requestScenario(), "session unlock requested"},
    };
    for (const auto& road : roads) {
        const auto output = run(road.json, road.name);
        EXPECT_NE(output.find(road.proof), std::string::npos) << road.name;
        if (road.name != "session request") {
            EXPECT_NE(output.find("\"action\":\"typed\",\"units\":"), std::string::npos)
                << road.name << " typed nothing";
        }
        expectNoLeak(output, road.name);
    }
}

TEST(UnlockSecurity, ScenarioErrorsNeverQuoteThePassword) {
    const std::vector<std::string> broken = {
        // A bad escape inside the password: the parser stops in the middle of it.
        R"({"duration": 10, "session": {"password": "walkme gallops\q home"}})",
        R"({"duration": 10, "keychain": {"password": "walkme gallops)",
        R"({"duration": 10, "session": {"password": "walkme gallops", "unlock": "typing"}})",
        R"({"duration": 10, "events": [{"at": 1, "selfTest": {"candidate": 7}}]})",
    };
    for (const auto& json : broken) {
        const auto result = parseScenario(json);
        ASSERT_FALSE(result.ok()) << json;
        const auto message = result.error().describe();
        EXPECT_EQ(message.find("walkme"), std::string::npos) << message;
        EXPECT_EQ(message.find("gallops"), std::string::npos) << message;
    }
}

TEST(UnlockSecurity, TheProgramsOutputsCarryNoPassword) {
    test::TempDir home;
    const auto result =
        test::runAmbleguard({"simulate", "--json", "--level", "debug",
                             std::string(AMBLEGUARD_SCENARIOS_DIR) + "/auto-unlock.json"},
                            home.path());
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("Auto-unlock succeeded"), std::string::npos);
    expectNoLeak(result.out + result.err, "ambleguard simulate");
}

}  // namespace
}  // namespace ambleguard::cli
