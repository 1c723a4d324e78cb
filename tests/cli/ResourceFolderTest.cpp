#include "cli/ResourceFolder.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <filesystem>
#include <string>

namespace ambleguard::cli {
namespace {

namespace fs = std::filesystem;

class ResourceFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "ambleguard-prefix-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        prefix_ = pattern;
        fs::create_directories(prefix_ / "bin");
    }
    void TearDown() override { fs::remove_all(prefix_); }

    fs::path prefix_;
    const fs::path buildTree_ = "/src/ambleguard/resources";
};

TEST_F(ResourceFolderTest, InstalledProgramUsesTheShareFolderBesideItsBinFolder) {
    fs::create_directories(prefix_ / "share" / "ambleguard" / "Sounds");
    EXPECT_EQ(resourceFolder(prefix_ / "bin", buildTree_), prefix_ / "share" / "ambleguard");
    // A folder given with a trailing separator names the same place.
    EXPECT_EQ(resourceFolder(prefix_ / "bin" / "", buildTree_), prefix_ / "share" / "ambleguard");
}

TEST_F(ResourceFolderTest, ProgramWithoutInstalledSoundsUsesTheBuildTreeResources) {
    // Run from a build folder: nothing installed beside it.
    EXPECT_EQ(resourceFolder(prefix_ / "bin", buildTree_), buildTree_);
    // A share folder without the sounds is not taken for an installation either.
    fs::create_directories(prefix_ / "share" / "ambleguard");
    EXPECT_EQ(resourceFolder(prefix_ / "bin", buildTree_), buildTree_);
}

}  // namespace
}  // namespace ambleguard::cli
