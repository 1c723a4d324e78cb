#include "platform/posix/PosixProcessLauncher.h"

#include "platform/posix/BoundedCapture.h"

#include "platform/posix/EventLoop.h"
#include "platform/posix/ThreadExecutor.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

namespace ambleguard::posix {
namespace {

namespace fs = std::filesystem;

class PosixProcessLauncherTest : public ::testing::Test {
  protected:
    fs::path writeScript(const std::string& name, const std::string& body) {
        const auto path = dir.path() / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }

    // Runs on the real main loop until the completion arrives (or a generous safety timeout).
    std::optional<ProcessResult> runAndWait(const fs::path& program,
                                            std::vector<std::string> arguments) {
        std::optional<ProcessResult> result;
        int completions = 0;
        launcher.run(program.string(), std::move(arguments), [&](ProcessResult r) {
            ++completions;
            completionThread = std::this_thread::get_id();
            result = std::move(r);
            loop.quit();
        });
        TimerHandle safety = loop.postAfter(60.0, [&] { loop.quit(); });
        loop.run();
        safety.cancel();
        EXPECT_LE(completions, 1);
        return result;
    }

    static ProcessExit exitOf(const std::optional<ProcessResult>& result) {
        EXPECT_TRUE(result.has_value());
        EXPECT_TRUE(result && result->ok());
        return result && result->ok() ? result->value() : ProcessExit{-999, "", ""};
    }

    static bool noChildrenLeft() {
        int status = 0;
        return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
    }

    test::TempDir dir;
    EventLoop loop;
    ThreadExecutor workers;
    PosixProcessLauncher launcher{workers, loop};
    std::thread::id completionThread;
};

TEST_F(PosixProcessLauncherTest, PassesEachArgumentUnchangedWithoutAShell) {
    const auto program =
        writeScript("args", R"(printf '%s\n' "$#"; for a in "$@"; do printf '[%s]\n' "$a"; done)");
    const std::string tricky = "Good \"night\" it's $HOME; `id` * \\n";
    const ProcessExit exit = exitOf(runAndWait(program, {"run", tricky, ""}));
    EXPECT_EQ(exit.status, 0);
    EXPECT_EQ(exit.standardOutput, "3\n[run]\n[" + tricky + "]\n[]\n");
    EXPECT_EQ(exit.standardError, "");
    EXPECT_EQ(completionThread, std::this_thread::get_id()) << "completion must run on main";
    EXPECT_TRUE(noChildrenLeft());
}

TEST_F(PosixProcessLauncherTest, ReportsExitStatusAndKeepsTheOutputsApart) {
    const auto program = writeScript("fails", "echo partial; echo 'no such shortcut' >&2; exit 3");
    const ProcessExit exit = exitOf(runAndWait(program, {}));
    EXPECT_EQ(exit.status, 3);
    EXPECT_EQ(exit.standardOutput, "partial\n");
    EXPECT_EQ(exit.standardError, "no such shortcut\n");
}

TEST_F(PosixProcessLauncherTest, DrainsBothOutputsWhileTheChildRunsAndKeepsTheirEnds) {
    // Far more than a pipe buffer on each, standard error first: a launcher that waited for the
    // exit, or read one pipe to its end before the other, would stall here. Only the start and
    // the end of each are kept.
    const auto program = writeScript("chatty",
                                     "printf first >&2; head -c 8388608 /dev/zero | tr '\\0' e >&2;"
                                     " printf last >&2\n"
                                     "head -c 1048577 /dev/zero | tr '\\0' o");
    const ProcessExit exit = exitOf(runAndWait(program, {}));
    EXPECT_EQ(exit.status, 0);
    const std::size_t kept = 2 * BoundedCapture::kDefaultLimit;
    EXPECT_LT(exit.standardError.size(), kept + 100);
    EXPECT_TRUE(exit.standardError.starts_with("firsteee"));
    EXPECT_TRUE(exit.standardError.ends_with("eeelast"));
    EXPECT_NE(exit.standardError.find("\n[... " + std::to_string(8388608 + 9 - kept) +
                                      " bytes left out ...]\n"),
              std::string::npos);
    EXPECT_LT(exit.standardOutput.size(), kept + 100);
}

TEST_F(PosixProcessLauncherTest, ProgramThatCannotBeStartedIsALaunchFailure) {
    const auto missing = runAndWait(dir.path() / "missing", {"run", "x"});
    ASSERT_TRUE(missing && !missing->ok());
    EXPECT_NE(missing->error().find("No such file"), std::string::npos);

    const auto notExecutable = dir.path() / "plain";
    std::ofstream(notExecutable) << "#!/bin/sh\nexit 0\n";
    fs::permissions(notExecutable, fs::perms::owner_read | fs::perms::owner_write);
    const auto refused = runAndWait(notExecutable, {});
    ASSERT_TRUE(refused && !refused->ok());
    EXPECT_NE(refused->error().find("Permission denied"), std::string::npos);
    EXPECT_TRUE(noChildrenLeft());
}

TEST_F(PosixProcessLauncherTest, ChildKilledByASignalIsNeverASuccess) {
    const auto program = writeScript("killed", "kill -TERM $$");
    EXPECT_EQ(exitOf(runAndWait(program, {})).status, 128 + SIGTERM);
}

TEST_F(PosixProcessLauncherTest, RunsDoNotWaitForEachOther) {
    // The first run can only end after the second has run, so one run at a time would hang.
    const auto fifo = dir.path() / "handshake";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto waiter = writeScript("waiter", "read line < \"$1\"; echo \"got $line\"");
    const auto writer = writeScript("writer", "echo hello > \"$1\"");

    std::optional<ProcessResult> first;
    std::optional<ProcessResult> second;
    auto quitWhenBothEnded = [&] {
        if (first && second) {
            loop.quit();
        }
    };
    launcher.run(waiter.string(), {fifo.string()}, [&](ProcessResult r) {
        first = std::move(r);
        quitWhenBothEnded();
    });
    launcher.run(writer.string(), {fifo.string()}, [&](ProcessResult r) {
        second = std::move(r);
        quitWhenBothEnded();
    });
    TimerHandle safety = loop.postAfter(60.0, [&] { loop.quit(); });
    loop.run();
    safety.cancel();
    EXPECT_EQ(exitOf(second).status, 0);
    EXPECT_EQ(exitOf(first).standardOutput, "got hello\n");
}

// Quitting never waits for a running tool: one that keeps its outputs open, and one that closes
// them and goes on running.
class PosixProcessLauncherShutdown : public ::testing::TestWithParam<const char*> {};

TEST_P(PosixProcessLauncherShutdown, GoingAwayDoesNotWaitForAChildThatNeverEnds) {
    test::TempDir dir;
    const auto fifo = dir.path() / "started";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto program = dir.path() / "forever";
    // The outputs are closed (or not) before the child says it runs, so the launcher is gone
    // only after the child's outputs are.
    std::ofstream(program) << "#!/bin/sh\n" << GetParam() << "echo $$ > \"$1\"\nexec sleep 600\n";
    fs::permissions(program, fs::perms::owner_all);

    pid_t child = -1;
    bool completed = false;
    {
        EventLoop loop;
        ThreadExecutor workers;
        PosixProcessLauncher launcher(workers, loop);
        launcher.run(program.string(), {fifo.string()}, [&](ProcessResult) { completed = true; });
        std::ifstream(fifo) >> child;  // the child is running and being waited for
        ASSERT_GT(child, 0);
    }  // the launcher, then the workers (joined) and the loop go away here
    EXPECT_FALSE(completed);
    ::kill(child, SIGKILL);
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
}

INSTANTIATE_TEST_SUITE_P(OutputsOpenOrClosed, PosixProcessLauncherShutdown,
                         ::testing::Values("", "exec >&- 2>&-\n"));

TEST_F(PosixProcessLauncherTest, AChildThatClosesItsOutputsStillCompletesWhenItEnds) {
    const auto program = writeScript("quiet", "echo before; exec >&- 2>&-; sleep 0.2; exit 3");
    const ProcessExit exit = exitOf(runAndWait(program, {}));
    EXPECT_EQ(exit.status, 3);
    EXPECT_EQ(exit.standardOutput, "before\n");
    EXPECT_TRUE(noChildrenLeft());
}

TEST_F(PosixProcessLauncherTest, AChildThatEndsWhileItsOwnChildHoldsTheOutputsCompletes) {
    // The background sleep keeps both pipes open long after the tool itself has ended.
    const auto program = writeScript("leaves", "sleep 600 & echo $!; exit 0");
    const ProcessExit exit = exitOf(runAndWait(program, {}));
    EXPECT_EQ(exit.status, 0);
    const pid_t orphan = std::stoi(exit.standardOutput);
    EXPECT_GT(orphan, 0);
    ::kill(orphan, SIGKILL);
}

}  // namespace
}  // namespace ambleguard::posix
