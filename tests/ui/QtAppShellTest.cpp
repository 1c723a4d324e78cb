#include "ui/QtAppShell.h"

#include "settings/SettingsKeys.h"
#include "support/AppWorld.h"
#include "ui/MainPanel.h"
#include "ui/PanelWindow.h"
#include "ui/PinPrompt.h"
#include "ui/StatusItem.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include <memory>

namespace ambleguard::ui {
namespace {

// The program as the desktop runs it, on the simulated platform: the interface is the shell.
class QtAppShellTest : public ::testing::Test {
  protected:
    explicit QtAppShellTest(SettingValues settings = test::AppWorld::onboarded())
        : world(std::move(settings)) {}

    void SetUp() override {
        shell = std::make_unique<QtAppShell>(world.platform.shell, world.log,
                                             QtAppShell::Options{QStringLiteral("1.0"), {}, false});
        app.emplace(world.platform.ports().withShell(*shell));
        shell->attach(*app);
        app->launch();
        world.platform.loop.advanceBy(1.0);
    }
    void TearDown() override {
        shell.reset();
        app.reset();
    }

    void choose(const QString& title) {
        for (QAction* action : shell->statusItem()->menu()->actions()) {
            if (action->text() == title) {
                action->trigger();
                return;
            }
        }
        FAIL() << "no menu entry " << title.toStdString();
    }
    void setPin(const std::string& pin) {
        app->settings.setString(keys::hashedPIN, PinGate::digest(pin));
        app->settings.setBool(keys::isPinEnabled, true);
    }
    void answer(const QString& pin) { Q_EMIT shell->pinPrompt()->entry()->submitted(pin); }

    test::AppWorld world;
    std::unique_ptr<QtAppShell> shell;
    // A second application on the same platform, given the desktop shell (the world's own one
    // is never launched).
    std::optional<Application> app;
};

TEST_F(QtAppShellTest, WithoutAPinTheSettingsEntryOpensAndClosesThePanel) {
    ASSERT_NE(shell->panelWindow(), nullptr);
    shell->panelWindow()->hide();
    choose("Settings");
    EXPECT_TRUE(shell->panelWindow()->isVisible());
    EXPECT_FALSE(shell->pinPrompt()->isVisible());
    choose("Settings");
    EXPECT_FALSE(shell->panelWindow()->isVisible());
}

TEST_F(QtAppShellTest, SettingsBehindThePinOpenOnlyForTheRightOne) {
    shell->panelWindow()->hide();
    setPin("4321");
    choose("Settings");
    EXPECT_TRUE(shell->pinPrompt()->isVisible());
    EXPECT_FALSE(shell->panelWindow()->isVisible());
    answer("1111");
    EXPECT_FALSE(shell->panelWindow()->isVisible());
    EXPECT_FALSE(shell->pinPrompt()->isVisible());

    choose("Settings");
    answer("4321");
    EXPECT_TRUE(shell->panelWindow()->isVisible());
}

TEST_F(QtAppShellTest, SwitchingMonitoringOffNeedsThePinButSwitchingItOnDoesNot) {
    setPin("0000");
    choose("Enabled 🟢");
    EXPECT_TRUE(app->settings.boolForKey(keys::canScan));
    answer("0000");
    EXPECT_FALSE(app->settings.boolForKey(keys::canScan));
    shell->pinPrompt()->hide();

    choose("Disabled 🔴");
    EXPECT_TRUE(app->settings.boolForKey(keys::canScan));
    EXPECT_FALSE(shell->pinPrompt()->isVisible());
}

TEST_F(QtAppShellTest, QuitIsGuardedAndADismissedPromptRunsNothing) {
    setPin("2468");
    choose("Quit");
    shell->pinPrompt()->close();
    answer("2468");  // a late answer to a dismissed prompt
    EXPECT_EQ(world.platform.appInstance.terminations(), 0);
    choose("Quit");
    answer("2468");
    EXPECT_EQ(world.platform.appInstance.terminations(), 1);
}

TEST_F(QtAppShellTest, PinEnabledWithoutAStoredPinAsksNothing) {
    app->settings.setBool(keys::isPinEnabled, true);
    choose("Quit");
    EXPECT_EQ(world.platform.appInstance.terminations(), 1);
}

}  // namespace
}  // namespace ambleguard::ui
