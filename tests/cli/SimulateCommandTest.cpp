#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace ambleguard {
namespace {

using nlohmann::json;
using test::runAmbleguard;

std::vector<json> jsonLines(const std::string& out) {
    std::vector<json> result;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        auto parsed = json::parse(line, nullptr, false);
        EXPECT_FALSE(parsed.is_discarded()) << "not JSON: " << line;
        result.push_back(std::move(parsed));
    }
    return result;
}

class SimulateCommandTest : public ::testing::Test {
  protected:
    test::ProgramResult simulate(std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.begin(), "simulate");
        return runAmbleguard(args, dir.path(), input);
    }
    std::string write(const std::string& name, const std::string& text) {
        const auto path = dir.path() / name;
        std::ofstream(path) << text;
        return path.string();
    }
    test::TempDir dir;
};

TEST_F(SimulateCommandTest, RefusesWhatItCannotRunWithExitStatus2) {
    auto missing = simulate({(dir.path() / "nope.json").string()});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos) << missing.err;

    // An endless input is refused at a bound instead of filling memory.
    auto endless = simulate({"/dev/zero"});
    EXPECT_EQ(endless.status, 2);
    EXPECT_NE(endless.err.find("/dev/zero is larger than 16 MiB"), std::string::npos)
        << endless.err;

    auto malformed = simulate({write("bad.json", R"({"duration": 60, "devices": [
        {"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345", "rssi": [[0, -50]]},
        {"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "rssi": [[0, -50], [5, "loud"]]}]})")});
    EXPECT_EQ(malformed.status, 2);
    EXPECT_NE(malformed.err.find("bad.json: devices[1].rssi[1][1]: expected a number"),
              std::string::npos)
        << malformed.err;
    EXPECT_EQ(malformed.out, "");

    auto notJson = simulate({"-"}, "{\"duration\": 60,");
    EXPECT_EQ(notJson.status, 2);
    EXPECT_NE(notJson.err.find("<stdin>: not valid JSON"), std::string::npos) << notJson.err;

    EXPECT_EQ(simulate({"--loud"}).status, 2);
    EXPECT_EQ(simulate({"--level", "chatty"}).status, 2);
    EXPECT_EQ(simulate({"a.json", "b.json"}).status, 2);
    auto help = simulate({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: ambleguard simulate"), std::string::npos);
}

TEST_F(SimulateCommandTest, JsonOutputIsOneObjectPerLineEndingWithTheSummary) {
    auto result = simulate({"--json", "-"}, R"({"duration": 30, "events": [
        {"at": 5, "note": "a line of the story"},
        {"at": 10, "screen": "lock"}]})");
    ASSERT_EQ(result.status, 0) << result.err;
    const auto lines = jsonLines(result.out);
    ASSERT_FALSE(lines.empty());
    double last = 0;
    for (const auto& line : lines) {
        ASSERT_TRUE(line.contains("t")) << line;
        EXPECT_GE(line["t"].get<double>(), last) << "time runs forwards";
        last = line["t"].get<double>();
    }
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const json& line) {
        return line.value("event", "") == "note" && line["note"] == "a line of the story";
    }));
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const json& line) {
        return line.value("action", "") == "screenLocked";
    }));
    EXPECT_EQ(lines.back()["summary"]["screenLocks"], 1);
    EXPECT_EQ(lines.back()["t"], 30.0);
}

}  // namespace
}  // namespace ambleguard
