#include "actions/ShortcutRunner.h"

#include "platform/posix/EventLoop.h"
#include "platform/posix/PosixProcessLauncher.h"
#include "platform/posix/ThreadExecutor.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimProcessLauncher.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

namespace ambleguard {
namespace {

using sim::SimProcessScript;

class ShortcutRunnerTest : public ::testing::Test {
  protected:
    // Runs the shortcut and lets virtual time pass until it has reported back.
    std::vector<bool> run(const std::string& name, std::string_view kind) {
        std::vector<bool> results;
        runner.runShortcut(name, kind, [&](bool ok) { results.push_back(ok); });
        EXPECT_TRUE(results.empty()) << "the completion must not run inside runShortcut";
        loop.advanceBy(1.0);
        return results;
    }

    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::RecordingLogSink log;
    sim::SimProcessLauncher launcher{loop};
    ShortcutsToolCommands commands{"/opt/tools/shortcuts"};
    ShortcutRunner runner{commands, launcher, loop, log};
};

TEST_F(ShortcutRunnerTest, RunsTheToolWithTheNameUnchangedAndReportsSuccessOnce) {
    const std::string name = "Lights \"off\" & 'dim' $HOME *";
    EXPECT_EQ(run(name, "away"), std::vector<bool>{true});

    ASSERT_EQ(launcher.runs().size(), 1u);
    EXPECT_EQ(launcher.runs()[0].executable, "/opt/tools/shortcuts");
    EXPECT_EQ(launcher.runs()[0].arguments, (std::vector<std::string>{"run", name}));
    // Empty output: only the start and the success line.
    EXPECT_EQ(log.texts(),
              (std::vector<std::string>{"Executing away shortcut: " + name,
                                        "Away shortcut '" + name + "' executed successfully"}));
    for (const auto& entry : log.entries()) {
        EXPECT_EQ(entry.category, "Shortcuts");
        EXPECT_EQ(entry.level, LogLevel::info);
    }
}

TEST_F(ShortcutRunnerTest, ANameThatWouldReadAsAnOptionNeverReachesTheTool) {
    EXPECT_EQ(run("--help", "away"), std::vector<bool>{false});
    EXPECT_EQ(run("-", "return"), std::vector<bool>{false});
    EXPECT_TRUE(launcher.runs().empty());
    EXPECT_TRUE(log.containsFragment("the name '--help' begins with '-'"));
    // A dash elsewhere in the name is fine.
    EXPECT_EQ(run("Leave - Desk-", "away"), std::vector<bool>{true});
    EXPECT_EQ(launcher.runs().size(), 1u);
}

TEST_F(ShortcutRunnerTest, LogsTheToolsOutputUntrimmedWhenItIsText) {
    launcher.setScript("Report", SimProcessScript{ProcessExit{0, "  done\n", "warning\n"}});
    run("Report", "return");
    EXPECT_TRUE(log.contains("Return shortcut 'Report' executed successfully"));
    EXPECT_TRUE(log.contains("Output:   done\n"));
    EXPECT_FALSE(log.containsFragment("warning"));  // standard error is shown only on failure
    EXPECT_EQ(log.entries().back().level, LogLevel::debug);
}

TEST_F(ShortcutRunnerTest, FailureLogsTheExitCodeAndTheErrorTextThenReportsFalse) {
    launcher.setScript("Missing", SimProcessScript{ProcessExit{1, "", "Shortcut not found\n"}});
    EXPECT_EQ(run("Missing", "return"), std::vector<bool>{false});
    ASSERT_EQ(log.entries().size(), 3u);
    EXPECT_EQ(log.entries()[1].text, "Return shortcut 'Missing' failed with exit code: 1");
    EXPECT_EQ(log.entries()[2].text, "Error: Shortcut not found\n");
    EXPECT_EQ(log.entries()[1].level, LogLevel::error);
    EXPECT_EQ(log.entries()[2].level, LogLevel::error);
}

TEST_F(ShortcutRunnerTest, LaunchFailureNamesTheKindInLowerCaseAndReportsFalse) {
    launcher.setDefaultScript(
        SimProcessScript{failure("/opt/tools/shortcuts: No such file or directory")});
    EXPECT_EQ(run("Anything", "Away"), std::vector<bool>{false});
    EXPECT_EQ(log.entries().back().text,
              "Failed to execute away shortcut: /opt/tools/shortcuts: No such file or directory");
    EXPECT_EQ(log.entries().back().level, LogLevel::error);
}

TEST_F(ShortcutRunnerTest, OutputThatIsNotUtf8IsNotLogged) {
    launcher.setScript("Binary", SimProcessScript{ProcessExit{0, "\xC3\x28 bytes", ""}});
    launcher.setScript("Surrogate", SimProcessScript{ProcessExit{2, "", "\xED\xA0\x80"}});
    launcher.setScript("Accents",
                       SimProcessScript{ProcessExit{0, "caf\xC3\xA9 \xF0\x9F\x94\x92", ""}});
    run("Binary", "away");
    run("Surrogate", "away");
    run("Accents", "away");
    EXPECT_FALSE(log.containsFragment("Output: \xC3\x28"));
    EXPECT_FALSE(log.containsFragment("Error:"));
    EXPECT_TRUE(log.contains("Output: caf\xC3\xA9 \xF0\x9F\x94\x92"));
}

TEST_F(ShortcutRunnerTest, TestEntryTrimsTheNameAndRefusesABlankOne) {
    std::vector<bool> trimmed;
    std::vector<bool> blank;
    runner.testShortcut(" \t Lights on\xC2\xA0\r\n", [&](bool ok) { trimmed.push_back(ok); });
    runner.testShortcut("  \n\xE3\x80\x80 ", [&](bool ok) { blank.push_back(ok); });
    EXPECT_TRUE(blank.empty()) << "even a refusal arrives later, on the main queue";
    loop.advanceBy(1.0);

    EXPECT_EQ(trimmed, std::vector<bool>{true});
    EXPECT_EQ(blank, std::vector<bool>{false});
    EXPECT_EQ(launcher.lastArguments(), std::vector<std::string>{"Lights on"});
    EXPECT_EQ(log.texts(),
              (std::vector<std::string>{"Executing test shortcut: Lights on",
                                        "Test shortcut 'Lights on' executed successfully"}));
}

TEST_F(ShortcutRunnerTest, NothingHappensWhenTheRunnerIsGoneBeforeTheToolEnds) {
    auto shortLived = std::make_unique<ShortcutRunner>(commands, launcher, loop, log);
    int calls = 0;
    shortLived->runShortcut("Slow", "away", [&](bool) { ++calls; });
    shortLived.reset();
    loop.advanceBy(1.0);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(log.texts(), std::vector<std::string>{"Executing away shortcut: Slow"});
}

// A platform that refuses a name: nothing starts, and the refusal reads like a launch failure.
TEST_F(ShortcutRunnerTest, RefusedNameStartsNothingAndReportsFalseLater) {
    struct Refusing final : ShortcutCommands {
        Resolution commandFor(const std::string& name) const override {
            return failure("refused " + name);
        }
        std::vector<std::string> availableNames() const override { return {}; }
        std::string folder() const override { return {}; }
    } refusing;
    ShortcutRunner strict(refusing, launcher, loop, log);
    std::vector<bool> results;
    strict.runShortcut("../x", "Return", [&](bool ok) { results.push_back(ok); });
    EXPECT_TRUE(results.empty());
    loop.advanceBy(0.1);
    EXPECT_EQ(results, std::vector<bool>{false});
    EXPECT_TRUE(launcher.runs().empty());
    EXPECT_EQ(log.texts().back(), "Failed to execute return shortcut: refused ../x");
}

// The runner against a real child process: a small script stands in for the tool.
class ShortcutRunnerWithRealToolTest : public ::testing::Test {
  protected:
    std::filesystem::path writeTool(const std::string& body) {
        const auto path = dir.path() / "shortcuts";
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    }
    std::optional<bool> runAndWait(const std::filesystem::path& tool, const std::string& name) {
        posix::EventLoop loop;
        posix::ThreadExecutor workers;
        posix::PosixProcessLauncher launcher(workers, loop);
        ShortcutsToolCommands commands(tool.string());
        ShortcutRunner runner(commands, launcher, loop, log);
        std::optional<bool> result;
        runner.runShortcut(name, "away", [&](bool ok) {
            result = ok;
            loop.quit();
        });
        loop.postAfter(60.0, [&] { loop.quit(); });  // safety net only; normally done in ms
        loop.run();
        return result;
    }

    test::TempDir dir;
    sim::RecordingLogSink log;
};

TEST_F(ShortcutRunnerWithRealToolTest, NameWithSpacesAndQuotesArrivesAsOneArgument) {
    const auto tool = writeTool(R"(printf '%s|' "$#" "$@")");
    const std::string name = "Good \"night\" it's $USER; *";
    EXPECT_EQ(runAndWait(tool, name), true);
    EXPECT_TRUE(log.contains("Output: 2|run|" + name + "|"))
        << ::testing::PrintToString(log.texts());
}

TEST_F(ShortcutRunnerWithRealToolTest, FailingToolReportsItsErrorText) {
    const auto tool = writeTool("echo \"Couldn't find shortcut '$2'\" >&2\nexit 1");
    EXPECT_EQ(runAndWait(tool, "Gone"), false);
    EXPECT_TRUE(log.contains("Away shortcut 'Gone' failed with exit code: 1"));
    EXPECT_TRUE(log.contains("Error: Couldn't find shortcut 'Gone'\n"));
}

}  // namespace
}  // namespace ambleguard
