#include "platform/linux/ShortcutFolder.h"

#include "actions/ShortcutRunner.h"
#include "platform/posix/EventLoop.h"
#include "platform/posix/PosixProcessLauncher.h"
#include "platform/posix/ThreadExecutor.h"
#include "platform/sim/RecordingLogSink.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace ambleguard::linuxdesktop {
namespace {

namespace fs = std::filesystem;

class ShortcutFolderTest : public ::testing::Test {
  protected:
    fs::path write(const std::string& name, const std::string& body, fs::perms perms) {
        const auto path = dir.path() / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, perms);
        return path;
    }
    std::string refusal(const std::string& name) const {
        const auto resolution = folder.commandFor(name);
        return resolution ? std::string("<accepted>") : resolution.error();
    }

    test::TempDir dir;
    ShortcutFolder folder{dir.path()};
};

TEST_F(ShortcutFolderTest, RefusesNamesThatLeaveTheFolderOrLookLikeOptions) {
    write("ok", "exit 0", fs::perms::owner_all);
    fs::create_directories(dir.path() / "sub");
    write("sub/inner", "exit 0", fs::perms::owner_all);
    const std::vector<std::string> names = {
        "", "../ok", "sub/inner", "/bin/sh", ".hidden", "..", "-rf", std::string("ok\0evil", 7)};
    for (const auto& name : names) {
        EXPECT_NE(refusal(name).find("not a usable shortcut name"), std::string::npos)
            << "name: " << name;
    }
}

TEST_F(ShortcutFolderTest, NeedsAnExecutableFileOfThatName) {
    write("Plain text", "exit 0", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(dir.path() / "Folder");
    EXPECT_NE(refusal("Absent").find("put an executable file of that name in"), std::string::npos);
    EXPECT_NE(refusal("Plain text").find("is not executable"), std::string::npos);
    EXPECT_NE(refusal("Folder").find("not a regular file"), std::string::npos);

    const auto path = write("Lights off", "exit 0", fs::perms::owner_all);
    const auto resolution = folder.commandFor("Lights off");
    ASSERT_TRUE(resolution.ok());
    EXPECT_EQ(resolution.value(), (ShortcutCommand{path.string(), {}}));
}

// The list offers exactly the names a run would start, so a picked name never fails for being
// hidden, unreadable or not executable; a folder not made yet lists nothing.
TEST_F(ShortcutFolderTest, ListsOnlyTheNamesThatWouldRun) {
    EXPECT_TRUE(ShortcutFolder(dir.path() / "not yet").availableNames().empty());
    write("Zed", "exit 0", fs::perms::owner_all);
    write("Lights off", "exit 0", fs::perms::owner_all);
    write("notes.txt", "", fs::perms::owner_read | fs::perms::owner_write);
    write(".hidden", "exit 0", fs::perms::owner_all);
    write("-rf", "exit 0", fs::perms::owner_all);
    fs::create_directories(dir.path() / "Folder");
    EXPECT_EQ(folder.availableNames(), (std::vector<std::string>{"Lights off", "Zed"}));
    EXPECT_EQ(folder.folder(), dir.path().string());
}

// The runner with this folder starts the file itself, with no shell and no arguments, and a
// refused name fails with the reason in the log.
TEST_F(ShortcutFolderTest, RunnerStartsTheFileDirectly) {
    write("Say it's \"done\"", R"(printf '%s|%s' "$#" "$0")", fs::perms::owner_all);
    posix::EventLoop loop;
    posix::ThreadExecutor workers;
    posix::PosixProcessLauncher launcher(workers, loop);
    sim::RecordingLogSink log;
    ShortcutRunner runner(folder, launcher, loop, log);

    std::vector<bool> results;
    const auto finished = [&](bool ok) {
        results.push_back(ok);
        if (results.size() == 2) {
            loop.quit();
        }
    };
    runner.runShortcut("Say it's \"done\"", "away", finished);
    runner.testShortcut("  ../escape ", finished);
    loop.postAfter(60.0, [&] { loop.quit(); });  // safety net only
    loop.run();

    EXPECT_EQ(results.size(), 2u);
    EXPECT_TRUE(log.contains("Output: 0|" + (dir.path() / "Say it's \"done\"").string()))
        << ::testing::PrintToString(log.texts());
    EXPECT_TRUE(
        log.containsFragment("Failed to execute test shortcut: '../escape' is not a usable"));
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
