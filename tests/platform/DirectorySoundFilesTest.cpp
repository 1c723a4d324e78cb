#include "platform/posix/DirectorySoundFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace ambleguard {
namespace {

namespace fs = std::filesystem;

TEST(DirectorySoundFilesTest, FindsResourcesAndListsFolders) {
    test::TempDir root;
    fs::create_directories(root.path() / "Sounds" / "Nested.wav");
    std::ofstream(root.path() / "Sounds" / "Drift-leave.wav") << "x";
    posix::DirectorySoundFiles files(root.path());

    EXPECT_EQ(files.resourcePath("Drift-leave", "wav", "Sounds"),
              (root.path() / "Sounds" / "Drift-leave.wav").string());
    EXPECT_FALSE(files.resourcePath("Drift-return", "wav", "Sounds"));
    EXPECT_FALSE(files.resourcePath("Nested", "wav", "Sounds")) << "a folder is not a sound";
    EXPECT_TRUE(files.fileExists((root.path() / "Sounds" / "Drift-leave.wav").string()));
    EXPECT_FALSE(files.fileExists((root.path() / "Sounds").string()));

    auto entries = files.folderEntries((root.path() / "Sounds").string());
    ASSERT_TRUE(entries);
    std::sort(entries->begin(), entries->end());
    EXPECT_EQ(*entries, (std::vector<std::string>{"Drift-leave.wav", "Nested.wav"}));
    EXPECT_FALSE(files.folderEntries((root.path() / "missing").string()));
}

}  // namespace
}  // namespace ambleguard
