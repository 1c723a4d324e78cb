#include "platform/posix/AtomicFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/TempDir.h"

namespace ambleguard::posix {
namespace {

TEST(AtomicFileTest, CreatesFoldersAndReplacesContentsLeavingNoTemporaryFiles) {
    test::TempDir dir;
    const auto path = dir.path() / "a" / "b" / "file.json";
    ASSERT_TRUE(writeFileAtomically(path, "first").ok());
    ASSERT_TRUE(writeFileAtomically(path, "second").ok());
    auto read = readWholeFile(path);
    ASSERT_EQ(read.status, ReadStatus::ok);
    EXPECT_EQ(read.contents, "second");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(path.parent_path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
    EXPECT_EQ(readWholeFile(dir.path() / "missing").status, ReadStatus::missing);
}

TEST(AtomicFileTest, UnwritableTargetIsReportedAndTheOldFileStays) {
    test::TempDir dir;
    // A folder that cannot be created (a plain file is in the way) fails even for root.
    ASSERT_TRUE(writeFileAtomically(dir.path() / "blocker", "x").ok());
    EXPECT_FALSE(writeFileAtomically(dir.path() / "blocker" / "sub" / "file", "lost").ok());
    // A target that is a folder cannot be replaced; nothing of the attempt is left behind.
    std::filesystem::create_directory(dir.path() / "folder");
    EXPECT_FALSE(writeFileAtomically(dir.path() / "folder", "lost").ok());
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "folder"));
}

TEST(AtomicFileTest, ALinkPlantedBesideTheTargetIsNeverFollowed) {
    test::TempDir dir;
    const auto path = dir.path() / "settings.json";
    const auto victim = dir.path() / "victim";
    std::ofstream(victim) << "precious";
    // The name a temporary file used to get, predictable from the process id.
    std::filesystem::create_symlink(victim, path.string() + ".tmp-" + std::to_string(::getpid()));
    ASSERT_TRUE(writeFileAtomically(path, "new settings").ok());
    EXPECT_EQ(readWholeFile(victim).contents, "precious");
    EXPECT_FALSE(std::filesystem::is_symlink(path));
    EXPECT_EQ(readWholeFile(path).contents, "new settings");
}

TEST(AtomicFileTest, MissingFoldersAreOwnerOnlyWhateverTheUmask) {
    test::TempDir dir;
    const mode_t previous = ::umask(0);
    const auto written = writeFileAtomically(dir.path() / "a" / "b" / "file", "x");
    ::umask(previous);
    ASSERT_TRUE(written.ok());
    for (const auto& folder : {dir.path() / "a", dir.path() / "a" / "b"}) {
        EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all)
            << folder;
    }
    EXPECT_EQ(std::filesystem::status(dir.path() / "a" / "b" / "file").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

}  // namespace
}  // namespace ambleguard::posix
