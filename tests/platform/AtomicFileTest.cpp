#include "platform/posix/AtomicFile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TempDir.h"

namespace ambleguard::posix {
namespace {

TEST(AtomicFileTest, CreatesFoldersAndReplacesContentsLeavingNoTemporaryFiles) {
    test::TempDir dir;
    const auto path = dir.path() / "a" / "b" / "file.json";
    ASSERT_FALSE(writeFileAtomically(path, "first"));
    ASSERT_FALSE(writeFileAtomically(path, "second"));
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
    ASSERT_FALSE(writeFileAtomically(dir.path() / "blocker", "x"));
    EXPECT_TRUE(writeFileAtomically(dir.path() / "blocker" / "sub" / "file", "lost"));
    // A target that is a folder cannot be replaced; nothing of the attempt is left behind.
    std::filesystem::create_directory(dir.path() / "folder");
    EXPECT_TRUE(writeFileAtomically(dir.path() / "folder", "lost"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "folder"));
}

}  // namespace
}  // namespace ambleguard::posix
