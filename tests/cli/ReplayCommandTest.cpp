#include <gtest/gtest.h>
#include <sys/resource.h>

#include <regex>
#include <sstream>

#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace ambleguard {
namespace {

using test::runAmbleguard;

std::string trace(const std::string& name) {
    return std::string(AMBLEGUARD_TRACES_DIR) + "/" + name;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

// One decision line of the JSON output.
struct Event {
    double t = 0;
    std::string kind;    // "presence" or "effect"
    std::string what;    // the presence or the effect name
    std::string detail;  // source or reason
};

// Parses the decision lines, failing the test on any line of another shape.
std::vector<Event> events(const std::string& out) {
    static const std::regex presence(
        R"re(\{"t":(-?\d+\.\d{3}),"presence":"(Present|Weak Signal|Absent)","source":"([^"]+)"\})re");
    static const std::regex gone(
        R"re(\{"t":(-?\d+\.\d{3}),"effect":"becameGone","reason":"(weak|silent|forced)"\})re");
    static const std::regex effect(
        R"re(\{"t":(-?\d+\.\d{3}),"effect":"(returned|cancelledLeaving|probeConnect|probeReset)"\})re");
    static const std::regex reading(
        R"re(\{"t":-?\d+\.\d{3},"raw":-?\d+,"filtered":-?\d+\.\d{2},"rounded":-?\d+,"average":-?\d+\})re");
    std::vector<Event> result;
    for (const auto& line : lines(out)) {
        std::smatch m;
        if (std::regex_match(line, m, presence)) {
            result.push_back({std::stod(m[1]), "presence", m[2], m[3]});
        } else if (std::regex_match(line, m, gone)) {
            result.push_back({std::stod(m[1]), "effect", "becameGone", m[2]});
        } else if (std::regex_match(line, m, effect)) {
            result.push_back({std::stod(m[1]), "effect", m[2], ""});
        } else {
            EXPECT_TRUE(std::regex_match(line, reading)) << "unexpected line: " << line;
        }
    }
    return result;
}

bool isDeparture(const Event& e) {
    return e.what == "becameGone" || e.what == "returned" || e.what == "cancelledLeaving";
}

class ReplayCommandTest : public ::testing::Test {
  protected:
    test::ProgramResult replay(std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.begin(), "replay");
        return runAmbleguard(args, dir.path(), input);
    }
    test::TempDir dir;
};

TEST_F(ReplayCommandTest, WalkingAwayAndBackDepartsThenReturns) {
    auto result = replay({"--json", trace("walk-away-and-back.csv")});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto decided = events(result.out);

    auto departure = std::find_if(decided.begin(), decided.end(),
                                  [](const Event& e) { return e.what == "becameGone"; });
    ASSERT_NE(departure, decided.end());
    EXPECT_EQ(departure->detail, "weak");
    EXPECT_GT(departure->t, 60.0) << "not before the walk away starts";
    EXPECT_LT(departure->t, 80.0);

    auto back =
        std::find_if(departure, decided.end(), [](const Event& e) { return e.what == "returned"; });
    ASSERT_NE(back, decided.end());
    EXPECT_GT(back->t, 152.0) << "not before the walk back starts";
    EXPECT_LT(back->t, 180.0);
    // The published state changed before each effect of the same evaluation.
    EXPECT_EQ(std::prev(departure)->what, "Absent");
    EXPECT_EQ(std::prev(back)->what, "Present");
}

TEST_F(ReplayCommandTest, AtTheDeskNothingHappensWhileTheRecordingLasts) {
    auto result = replay({"--json", trace("at-desk.csv")});
    ASSERT_EQ(result.status, 0) << result.err;
    for (const auto& e : events(result.out)) {
        if (e.t <= 300.0 && (isDeparture(e) || e.kind == "presence")) {
            ADD_FAILURE() << e.what << " at " << e.t;
        }
    }
    // Only the silence after the last reading can make the device look gone.
    auto noTail = replay({"--json", "--tail", "0", trace("at-desk.csv")});
    ASSERT_EQ(noTail.status, 0);
    EXPECT_EQ(noTail.out, "");
}

TEST_F(ReplayCommandTest, AQuietPhoneIsProbedThenGoneThenBack) {
    auto result = replay({"--json", "--tail", "0", trace("phone-goes-quiet.csv")});
    ASSERT_EQ(result.status, 0) << result.err;
    std::vector<std::string> seen;
    for (const auto& e : events(result.out)) {
        if (e.kind == "effect") {
            seen.push_back(e.detail.empty() ? e.what : e.what + " " + e.detail);
        }
    }
    EXPECT_EQ(seen,
              (std::vector<std::string>{"probeConnect", "probeConnect", "probeReset",
                                        "probeConnect", "becameGone silent", "probeConnect",
                                        "probeConnect", "probeReset", "probeConnect", "returned"}));
}

TEST_F(ReplayCommandTest, ReadingsComeBeforeTheDecisionsTheyCause) {
    auto result = replay({"--json", "--readings", trace("walk-away-and-back.csv")});
    ASSERT_EQ(result.status, 0);
    const auto out = lines(result.out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0], R"({"t":0.000,"raw":-57,"filtered":-57.00,"rounded":-57,"average":-57})");
    const auto firstChange = std::find_if(out.begin(), out.end(), [](const std::string& line) {
        return line.find("\"presence\"") != std::string::npos;
    });
    ASSERT_NE(firstChange, out.end());
    ASSERT_NE(firstChange, out.begin());
    const std::string t = firstChange->substr(0, firstChange->find(','));
    EXPECT_EQ(std::prev(firstChange)->rfind(t + ",\"raw\":", 0), 0u) << *std::prev(firstChange);
    EXPECT_EQ(events(result.out).size(),
              events(replay({"--json", trace("walk-away-and-back.csv")}).out).size());
}

TEST_F(ReplayCommandTest, TextOutputSummarisesTheRun) {
    auto result = replay({trace("walk-away-and-back.csv"), "--tail=0"});
    ASSERT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("presence  Present -> Weak Signal (engine decision)"),
              std::string::npos);
    EXPECT_NE(result.out.find("effect    becameGone (weak)"), std::string::npos);
    EXPECT_NE(result.out.find("779 readings (3 rejected)"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("1 departure, 1 return; presence at the end: Present"),
              std::string::npos);
}

TEST_F(ReplayCommandTest, StandardInputTakesHeadersCommentsAndWindowsLineEnds) {
    auto result = replay({"--json", "--raw", "--delay", "0.5", "--tail", "0", "-"},
                         "t,rssi\r\n# from a log\r\n\r\n0,-80\r\n0.5,-80\r\n1,-80\r\n1.5,-80\r\n"
                         "2.0,-80\r\n");
    ASSERT_EQ(result.status, 0) << result.err;
    const auto decided = events(result.out);
    ASSERT_FALSE(decided.empty());
    EXPECT_EQ(decided.back().what, "becameGone");
    EXPECT_EQ(decided.back().t, 2.0);
}

TEST_F(ReplayCommandTest, BadInputStopsWithTheLineNumber) {
    struct Case {
        std::string input;
        std::string expected;
    };
    for (const auto& c : {
             Case{"t,rssi\n1.0,-60\n# note\n\n2.0,abc\n", "<stdin>:5:"},
             Case{"1.0,-60\n0.5,-60\n", "<stdin>:2: time 0.5 is earlier"},
             Case{"1.0,-60,3\n", "<stdin>:1:"}, Case{"1.0\n", "<stdin>:1:"},
             Case{"1.0,-300\n", "<stdin>:1:"}, Case{"nan,-60\n", "<stdin>:1:"},
             Case{"1.0,-60\nt,rssi\n", "<stdin>:2:"},  // a header only on the first line
         }) {
        auto result = replay({"-"}, c.input);
        EXPECT_EQ(result.status, 2) << c.input;
        EXPECT_NE(result.err.find(c.expected), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "") << c.input;
    }
}

TEST_F(ReplayCommandTest, BadLinesAndArgumentsAreEchoedEscaped) {
    for (const auto& [args, input] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"-"}, "0,-60\n\x1b[2J\x07\xE2\x80\xAE,\xFF\n"},
             {{"--mode", "\x1b[2J\x07\xE2\x80\xAE", "-"}, "0,-60\n"},
             {{"--\x1b[2J\x07\xE2\x80\xAE", "-"}, "0,-60\n"},
         }) {
        auto result = replay(args, input);
        EXPECT_NE(result.err.find("\\x1b[2J\\x07\\u202e"), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\x1b'), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\x07'), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\xFF'), std::string::npos) << result.err;
    }
}

// The trace is replayed as it is read: a long one takes no more memory than a short one
// (holding a million readings and their text took some 30 MB more).
TEST_F(ReplayCommandTest, ALongTraceReplaysInConstantMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers keep freed memory aside on purpose, so the peak says nothing here.
    GTEST_SKIP() << "memory peaks are not meaningful under a sanitizer";
#endif
    const auto writeTrace = [&](const std::string& name, int count) {
        const auto path = dir.path() / name;
        std::ofstream out(path);
        out << "t,rssi\n";
        for (int i = 0; i < count; ++i) {
            out << i * 0.2 << ',' << -60 - i % 7 << '\n';
        }
        return path.string();
    };
    const auto peakOfChildren = [] {
        rusage usage{};
        ::getrusage(RUSAGE_CHILDREN, &usage);
        return usage.ru_maxrss;  // KiB, the largest child so far
    };
    ASSERT_EQ(replay({"--tail", "0", writeTrace("short.csv", 1000)}).status, 0);
    const long shortPeak = peakOfChildren();
    const auto result = replay({"--tail", "0", writeTrace("long.csv", 1000000)});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("1000000 readings"), std::string::npos) << result.out;
    EXPECT_LT(peakOfChildren(), shortPeak + 8 * 1024);
}

TEST_F(ReplayCommandTest, BadArgumentsAndMissingFilesExitTwo) {
    auto missing = replay({(dir.path() / "nope.csv").string()});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("nope.csv"), std::string::npos);

    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"--bogus", "-"},
             {"--tail", "-1", "-"},
             {"--threshold", "loud", "-"},
             {"--delay"},
             {"--json=yes", "-"},
             {"a.csv", "b.csv"},
         }) {
        auto result = replay(args, "0,-60\n");
        EXPECT_EQ(result.status, 2) << ::testing::PrintToString(args);
        EXPECT_NE(result.err.find("ambleguard replay:"), std::string::npos);
    }
}

TEST_F(ReplayCommandTest, OptionsReachThePipelineAndTheUsersSettingsStayUntouched) {
    const std::string input = "0,-70\n0.5,-70\n1,-70\n1.5,-70\n2,-70\n2.5,-70\n";
    EXPECT_EQ(events(replay({"--json", "--tail", "0", "-"}, input).out).size(), 0u);
    auto raised = replay({"--json", "--tail", "0", "--threshold", "-60", "-"}, input);
    ASSERT_EQ(raised.status, 0);
    EXPECT_FALSE(events(raised.out).empty());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "ambleguard"));

    auto lowerCase = replay({"--mode", "stable", "--tail", "0", "-"}, input);
    EXPECT_EQ(lowerCase.status, 0);
    EXPECT_NE(lowerCase.err.find("Balanced"), std::string::npos);
}

TEST_F(ReplayCommandTest, HelpDescribesTheCommand) {
    auto help = replay({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--tail SECONDS"), std::string::npos);
    EXPECT_NE(help.out.find("\"effect\":\"becameGone\""), std::string::npos);
    auto overall = runAmbleguard({"--help"}, dir.path());
    EXPECT_NE(overall.out.find("replay"), std::string::npos);
}

}  // namespace
}  // namespace ambleguard
