#include "cli/AutostartProgram.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace ambleguard::cli {
namespace {

namespace fs = std::filesystem;

// The login entry must start something that exists at login: the installed program by name,
// a program run from elsewhere by its full path.
TEST(AutostartProgram, ByNameOnlyWhenThePathFindsThisVeryProgram) {
    test::TempDir dir;
    const fs::path installed = dir.path() / "usr" / "bin";
    const fs::path build = dir.path() / "build" / "src" / "cli";
    fs::create_directories(installed);
    fs::create_directories(build);
    std::ofstream(installed / "ambleguard") << "installed";
    std::ofstream(build / "ambleguard") << "built";

    EXPECT_EQ(autostartProgram(installed / "ambleguard", "/nonexistent:" + installed.string()),
              "ambleguard");
    // Run from the build folder: the PATH finds another program, or none.
    EXPECT_EQ(autostartProgram(build / "ambleguard", installed.string()),
              (build / "ambleguard").string());
    EXPECT_EQ(autostartProgram(build / "ambleguard", "::/nonexistent"),
              (build / "ambleguard").string());
    // The first match on the PATH is the one that counts.
    EXPECT_EQ(autostartProgram(installed / "ambleguard", build.string() + ":" + installed.string()),
              (installed / "ambleguard").string());
}

}  // namespace
}  // namespace ambleguard::cli
