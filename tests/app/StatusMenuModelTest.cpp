#include "app/StatusMenuModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ambleguard {
namespace {

using A = StatusMenuAction;

std::vector<std::string> titles(const std::vector<StatusMenuEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) {
        out.push_back(e.action == A::separator ? "-" : e.title);
    }
    return out;
}

const StatusMenuEntry& entry(const std::vector<StatusMenuEntry>& entries, A action) {
    for (const auto& e : entries) {
        if (e.action == action) {
            return e;
        }
    }
    throw std::runtime_error("no such entry");
}

TEST(StatusMenuModel, ListsEveryEntryInOrderWithTheDeviceFirstWhenOneIsChosen) {
    StatusMenuInputs in;
    in.canScan = true;
    in.checkedPeripheralName = "Pixel 8";
    in.version = "1.2";
    const auto menu = buildStatusMenu(in);
    EXPECT_EQ(titles(menu),
              (std::vector<std::string>{"Pixel 8", "-", "Settings", "-", "Enabled 🟢", "-",
                                        "Launch at Login", "-", "Show Signal Strength", "-",
                                        "Check for Updates", "-", "FAQ", "-", "Quit", "-",
                                        "Ambleguard 1.2"}));
    EXPECT_FALSE(entry(menu, A::device).enabled);
    EXPECT_FALSE(entry(menu, A::version).enabled);
    EXPECT_TRUE(entry(menu, A::monitoring).checked);

    in.checkedPeripheralName.reset();
    in.canScan = false;
    in.hasAvailableUpdate = true;
    in.launchAtLogin = true;
    in.showSignalStrength = true;
    const auto off = buildStatusMenu(in);
    EXPECT_EQ(off.front().title, "Settings");
    EXPECT_EQ(entry(off, A::monitoring).title, "Disabled 🔴");
    EXPECT_FALSE(entry(off, A::monitoring).checked);
    EXPECT_TRUE(entry(off, A::launchAtLogin).checked);
    EXPECT_TRUE(entry(off, A::signalStrength).checked);
    EXPECT_EQ(entry(off, A::update).title, "Update Available! ⬆️");

    in.updatesEnabled = false;
    const auto noUpdates = buildStatusMenu(in);
    EXPECT_EQ(titles(noUpdates).size(), titles(off).size() - 2);
    EXPECT_THROW(entry(noUpdates, A::update), std::runtime_error);
}

TEST(StatusMenuModel, CutsTheDeviceNameAfterTwentyFiveCharacters) {
    EXPECT_EQ(menuDeviceTitle(std::string(25, 'a')), std::string(25, 'a'));
    EXPECT_EQ(menuDeviceTitle(std::string(26, 'a')), std::string(25, 'a') + "...");
}

TEST(StatusMenuModel, SignalGlyphLevelsFollowTheDistanceAboveTheThreshold) {
    EXPECT_EQ(signalGlyphLevel(0, -67), 0.0);
    EXPECT_EQ(signalGlyphLevel(-52, -67), 1.0);
    EXPECT_EQ(signalGlyphLevel(-57, -67), 0.75);
    EXPECT_EQ(signalGlyphLevel(-62, -67), 0.5);
    EXPECT_EQ(signalGlyphLevel(-67, -67), 0.25);
    EXPECT_EQ(signalGlyphLevel(-72, -67.1), 0.0);
    EXPECT_EQ(signalGlyphLevel(-127, -67), 0.0);
}

}  // namespace
}  // namespace ambleguard
