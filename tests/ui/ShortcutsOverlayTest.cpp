#include "ui/ShortcutsOverlay.h"

#include "OverlayTestSupport.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

namespace ambleguard::ui {
namespace {

using test::widgetNamed;

// Receives what the overlay asks the desktop to open, instead of a file manager.
class UrlRecorder final : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }
};

class ShortcutsOverlayTest : public ::testing::Test {
  protected:
    test::AppWorld world{test::AppWorld::onboarded()};
    SettingsStore& settings = world.app->settings;
};

TEST_F(ShortcutsOverlayTest, NamesAreTypedOrPickedAndStoredAsTheyChange) {
    world.platform.shortcutCommands.setAvailableNames({"Lights off", "Away music"});
    settings.setString(keys::shortcutNameOnReturn, "Welcome");
    ShortcutsOverlay overlay(*world.app);
    QComboBox* away = overlay.nameField(0);
    QComboBox* back = overlay.nameField(1);
    EXPECT_EQ(away->lineEdit()->placeholderText(), "Enter shortcut name");
    EXPECT_EQ(back->currentText(), "Welcome");
    ASSERT_EQ(away->count(), 2);
    EXPECT_EQ(away->itemText(0), "Away music");

    QTest::keyClicks(away->lineEdit(), "Lock it");
    EXPECT_EQ(settings.stringForKey(keys::shortcutNameOnLock), "Lock it");
    away->setCurrentIndex(1);
    EXPECT_EQ(settings.stringForKey(keys::shortcutNameOnLock), "Lights off");
    EXPECT_EQ(settings.stringForKey(keys::shortcutNameOnReturn), "Welcome");

    auto* prevent = widgetNamed<QCheckBox>(
        &overlay, "When device returns (optional): prevent running when screen locked");
    ASSERT_NE(prevent, nullptr);
    prevent->click();
    EXPECT_TRUE(settings.boolForKey(keys::preventReturnShortcutWhenLocked));
    EXPECT_FALSE(settings.boolForKey(keys::preventAwayShortcutWhenLocked));

    // A reset elsewhere empties the fields.
    settings.setString(keys::shortcutNameOnLock, "");
    EXPECT_EQ(away->currentText(), "");
}

TEST_F(ShortcutsOverlayTest, ASecondTestPressShowsOnlyTheSecondResult) {
    world.platform.processLauncher.setScript("Slow", {ProcessExit{0, "", ""}, 5.0});
    world.platform.processLauncher.setScript("Broken", {ProcessExit{1, "", ""}, 6.0});
    ShortcutsOverlay overlay(*world.app);
    overlay.nameField(0)->setEditText("Slow");
    EXPECT_EQ(overlay.testStatus(0), "");
    overlay.testButton(0)->click();
    EXPECT_EQ(overlay.testStatus(0), "Running…");
    world.platform.loop.advanceBy(1);
    overlay.nameField(0)->setEditText("Broken");
    overlay.testButton(0)->click();
    world.platform.loop.advanceBy(4);  // the first run succeeds now
    EXPECT_EQ(overlay.testStatus(0), "Running…");
    world.platform.loop.advanceBy(2);
    EXPECT_EQ(overlay.testStatus(0), "Failed");
    EXPECT_EQ(overlay.testStatus(1), "");

    overlay.nameField(1)->setEditText("Slow");
    overlay.testButton(1)->click();
    world.platform.loop.advanceBy(5);
    EXPECT_EQ(overlay.testStatus(1), "Ran successfully");
}

TEST_F(ShortcutsOverlayTest, TheFolderButtonCreatesAndOpensTheShortcutFolder) {
    {
        ShortcutsOverlay withoutFolder(*world.app);
        EXPECT_EQ(withoutFolder.openFolderButton(), nullptr);
    }
    test::TempDir dir;
    const QString folder =
        QString::fromStdString((dir.path() / "ambleguard" / "shortcuts").string());
    world.platform.shortcutCommands.setFolder(folder.toStdString());
    ShortcutsOverlay overlay(*world.app);
    ASSERT_NE(overlay.openFolderButton(), nullptr);
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    overlay.openFolderButton()->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_TRUE(QDir(folder).exists());
    ASSERT_EQ(recorder.opened.size(), 1);
    EXPECT_EQ(recorder.opened[0], QUrl::fromLocalFile(folder));

    // Shortcuts added while the overlay was hidden show up when it is shown again.
    world.platform.shortcutCommands.setAvailableNames({"New one"});
    overlay.show();
    EXPECT_EQ(overlay.nameField(0)->count(), 1);
    overlay.hide();
}

}  // namespace
}  // namespace ambleguard::ui

#include "ShortcutsOverlayTest.moc"
