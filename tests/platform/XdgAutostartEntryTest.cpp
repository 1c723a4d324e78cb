#include "platform/posix/XdgAutostartEntry.h"

#include "platform/posix/DesktopNotificationSettings.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimProcessLauncher.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ambleguard::posix {
namespace {

namespace fs = std::filesystem;
using Status = LoginItem::Status;

std::string read(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class XdgAutostartEntryTest : public ::testing::Test {
  protected:
    test::TempDir config;
    fs::path folder = config.path() / "autostart";
    XdgAutostartEntry entry{folder, "/usr/bin/ambleguard"};
};

TEST_F(XdgAutostartEntryTest, EnablingWritesAnEntryThatReadsBackAsOnAndDisablingRemovesIt) {
    EXPECT_EQ(entry.status(), Status::notRegistered);
    EXPECT_TRUE(entry.registerItem().ok());
    EXPECT_EQ(entry.path(), folder / "ambleguard.desktop");
    EXPECT_EQ(entry.status(), Status::enabled);
    const std::string first = read(entry.path());
    EXPECT_NE(first.find("[Desktop Entry]\nType=Application\n"), std::string::npos);
    EXPECT_NE(first.find("\nExec=/usr/bin/ambleguard\n"), std::string::npos);

    // Again: the same single entry, no temporary files left beside it.
    EXPECT_TRUE(entry.registerItem().ok());
    EXPECT_EQ(read(entry.path()), first);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

    EXPECT_TRUE(entry.unregisterItem().ok());
    EXPECT_FALSE(fs::exists(entry.path()));
    EXPECT_EQ(entry.status(), Status::notRegistered);
    // Nothing to remove is already off.
    EXPECT_TRUE(entry.unregisterItem().ok());
}

TEST_F(XdgAutostartEntryTest, AnEntryTheUserSwitchedOffReadsAsOffUntilEnabledAgain) {
    fs::create_directories(folder);
    std::ofstream(entry.path()) << "[Desktop Entry]\nType=Application\nExec=/usr/bin/ambleguard\n"
                                   "Hidden = true\n";
    EXPECT_EQ(entry.status(), Status::notRegistered);
    std::ofstream(entry.path()) << "[Desktop Entry]\nExec=x\nX-GNOME-Autostart-enabled=false\n";
    EXPECT_EQ(entry.status(), Status::notRegistered);
    // Only the entry's own group counts, and a file that is no desktop entry starts nothing.
    std::ofstream(entry.path()) << "[Desktop Entry]\nExec=x\n[Desktop Action Quit]\nHidden=true\n";
    EXPECT_EQ(entry.status(), Status::enabled);
    std::ofstream(entry.path()) << "Exec=x\n";
    EXPECT_EQ(entry.status(), Status::notRegistered);

    std::ofstream(entry.path()) << "[Desktop Entry]\nHidden=true\n";
    EXPECT_TRUE(entry.registerItem().ok());
    EXPECT_EQ(entry.status(), Status::enabled);
}

TEST_F(XdgAutostartEntryTest, AFolderThatCannotBeMadeIsReportedAndReadsAsOff) {
    // A plain file where the autostart folder should be stops even root.
    std::ofstream(folder) << "not a folder";
    const auto registered = entry.registerItem();
    ASSERT_FALSE(registered.ok());
    EXPECT_FALSE(registered.error().empty());
    EXPECT_EQ(entry.status(), Status::notRegistered);
    EXPECT_EQ(read(folder), "not a folder");
}

TEST_F(XdgAutostartEntryTest, PathsWithReservedCharactersAreQuotedForTheExecLine) {
    XdgAutostartEntry odd{folder, "/opt/My Apps/50% \"a$b\"/ambleguard"};
    EXPECT_NE(odd.contents().find("\nExec=\"/opt/My Apps/50%% \\\\\"a\\\\$b\\\\\"/ambleguard\"\n"),
              std::string::npos)
        << odd.contents();
    XdgAutostartEntry broken{folder, "/tmp/a\nHidden=true"};
    EXPECT_FALSE(broken.registerItem().ok());
    EXPECT_FALSE(fs::exists(broken.path()));
}

TEST(DesktopNotificationSettingsTest, OpensTheInstalledDesktopsPageOrIsHidden) {
    test::TempDir bin;
    auto install = [&](const char* name) {
        const auto path = bin.path() / name;
        std::ofstream(path) << "#!/bin/sh\n";
        fs::permissions(path, fs::perms::owner_all);
    };
    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::SimProcessLauncher launcher{loop};
    const std::string path = "relative:" + bin.path().string();

    DesktopNotificationSettings none{launcher, path, "GNOME"};
    EXPECT_FALSE(none.isAvailable());
    EXPECT_FALSE(none.open());

    install("gnome-control-center");
    install("systemsettings");
    DesktopNotificationSettings gnome{launcher, path, "ubuntu:GNOME"};
    DesktopNotificationSettings kde{launcher, path, "KDE"};
    ASSERT_TRUE(gnome.command() && kde.command());
    EXPECT_EQ((*gnome.command())[1], "notifications");
    EXPECT_EQ((*kde.command())[1], "kcm_notifications");
    EXPECT_TRUE(kde.open());
    ASSERT_EQ(launcher.runs().size(), 1u);
    EXPECT_EQ(launcher.runs()[0].executable, (bin.path() / "systemsettings").string());
}

}  // namespace
}  // namespace ambleguard::posix
