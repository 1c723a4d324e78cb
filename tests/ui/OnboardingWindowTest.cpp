#include "platform/sim/SimPlatform.h"
#include "settings/SettingsKeys.h"
#include "support/AppWorld.h"
#include "ui/AgreementPage.h"
#include "ui/CalibrationChart.h"
#include "ui/CalibrationPage.h"
#include "ui/OnboardingWindow.h"
#include "ui/PermissionsPage.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

namespace ambleguard::ui {
namespace {

const Uuid kAlexPhone = *Uuid::parse("11111111-2222-3333-4444-555555555555");
const Uuid kZoePhone = *Uuid::parse("AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE");

sim::SimDeviceConfig phone(Uuid id, std::string name, bool paired,
                           std::vector<sim::SimRssiPoint> rssi) {
    sim::SimDeviceConfig device;
    device.identifier = id;
    device.name = std::move(name);
    device.rssi = std::move(rssi);
    device.privateAddressRotation = 900;
    device.paired = paired;
    return device;
}

// Two phones at the desk: Alex's is not paired, Zoe's is and leaves the room at 300 s.
sim::SimBluetoothConfig twoPhones(BleManagerState radio = BleManagerState::poweredOn) {
    sim::SimBluetoothConfig bluetooth;
    bluetooth.initialRadioState = radio;
    bluetooth.devices = {phone(kAlexPhone, "Alex's Phone", false, {{0, -60.0, true}}),
                         phone(kZoePhone, "Zoe's Phone", true, {{0, -50.0, true}, {300, {}}})};
    return bluetooth;
}

// A first run of the program with the onboarding window open on it, as the shell opens it.
struct FirstRun {
    explicit FirstRun(sim::SimBluetoothConfig bluetooth = twoPhones()) : world({}, bluetooth) {
        world.app->launch();
        window = std::make_unique<OnboardingWindow>(
            *world.app, OnboardingWindowHandlers{.completed = [this] { ++completed; },
                                                 .willClose = [this] { ++closed; }});
        window->show();
    }

    void advance(double seconds) {
        world.platform.loop.advanceBy(seconds);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QPushButton* button(const QString& text) const {
        for (auto* candidate : window->currentPage()->buttons()->findChildren<QPushButton*>()) {
            if (candidate->text() == text && candidate->isVisible()) {
                return candidate;
            }
        }
        return nullptr;
    }
    void click(const QString& text) {
        QPushButton* target = button(text);
        ASSERT_NE(target, nullptr) << text.toStdString();
        ASSERT_TRUE(target->isEnabled()) << text.toStdString();
        QTest::mouseClick(target, Qt::LeftButton);
        advance(0);
    }
    // A visible label on the current screen whose text contains `part`.
    QLabel* label(const QString& part) const {
        for (auto* candidate : window->currentPage()->findChildren<QLabel*>()) {
            if (candidate->text().contains(part) && candidate->isVisible()) {
                return candidate;
            }
        }
        return nullptr;
    }
    QList<QRadioButton*> radios() const {
        return window->currentPage()->findChildren<QRadioButton*>();
    }
    SettingsStore& settings() { return world.app->settings; }

    // Through the agreement and the permissions, to the device list with the phones listed.
    void toDeviceChoice() {
        advance(AgreementPage::kAcceptDelay);
        click(QStringLiteral("Continue"));
        advance(1);
        click(QStringLiteral("Continue"));
        advance(3);
    }
    // On to the threshold screen, tracking Zoe's phone.
    void toCalibration() {
        toDeviceChoice();
        QTest::mouseClick(radios().at(0), Qt::LeftButton);
        click(QStringLiteral("Continue"));
    }

    test::AppWorld world;
    std::unique_ptr<OnboardingWindow> window;
    int completed = 0;
    int closed = 0;
};

TEST(OnboardingWindow, WalksTheScreensInOrderAndReportsCompletionAtTheEnd) {
    FirstRun run;
    EXPECT_EQ(run.window->currentScreen(), OnboardingScreen::agreement);
    EXPECT_EQ(run.window->size(), QSize(700, 600));

    // Continue is not usable during the first second.
    run.advance(AgreementPage::kAcceptDelay - 0.001);
    EXPECT_FALSE(run.button(QStringLiteral("Continue"))->isEnabled());
    run.advance(0.001);
    run.click(QStringLiteral("Continue"));
    EXPECT_EQ(run.window->currentScreen(), OnboardingScreen::permissions);

    run.advance(1);
    ASSERT_NE(run.label(QStringLiteral("Bluetooth is on.")), nullptr);
    run.click(QStringLiteral("Continue"));
    EXPECT_EQ(run.window->currentScreen(), OnboardingScreen::deviceSelection);
    // Nothing chosen yet: Continue waits for a device.
    EXPECT_NE(run.label(QStringLiteral("No device selected")), nullptr);
    EXPECT_FALSE(run.button(QStringLiteral("Continue"))->isEnabled());
    run.advance(3);
    QTest::mouseClick(run.radios().at(0), Qt::LeftButton);
    run.click(QStringLiteral("Continue"));
    EXPECT_EQ(run.window->currentScreen(), OnboardingScreen::calibration);

    run.click(QStringLiteral("Skip, I'll tune it later"));
    EXPECT_EQ(run.window->currentScreen(), OnboardingScreen::launchAtLogin);
    auto* launch = run.window->currentPage()->findChild<QCheckBox*>();
    ASSERT_NE(launch, nullptr);
    EXPECT_NE(run.label(QStringLiteral("You can enable this later from the tray menu")), nullptr);
    QTest::keyClick(launch, Qt::Key_Space);
    EXPECT_NE(run.label(QStringLiteral("Ambleguard will start automatically when you log in")),
              nullptr);
    // Return on the switch presses Continue.
    QTest::keyClick(launch, Qt::Key_Return);
    run.advance(0);
    EXPECT_EQ(run.settings().boolIfPresent(keys::onboardingLaunchAtLoginPreference), true);
    // Only stored: the choice is applied when onboarding completes.
    EXPECT_FALSE(run.world.platform.loginItem.isEnabled());

    EXPECT_EQ(run.window->currentScreen(), OnboardingScreen::final);
    EXPECT_EQ(run.completed, 0);
    run.click(QStringLiteral("Finish"));
    EXPECT_EQ(run.completed, 1);
    EXPECT_EQ(run.closed, 0);
}

// The promise about data must hold for the build: one that checks for updates does send that.
TEST(OnboardingWindow, TheAgreementSaysWhatLeavesTheComputer) {
    EXPECT_TRUE(AgreementPage::agreementText(false).contains("no data sent anywhere"));
    const QString checking = AgreementPage::agreementText(true);
    EXPECT_FALSE(checking.contains("no data sent"));
    EXPECT_TRUE(checking.contains("check for a newer version"));
}

TEST(OnboardingWindow, QuitEndsTheProgramAndClosingReportsOnce) {
    FirstRun run;
    run.click(QStringLiteral("Quit"));
    EXPECT_EQ(run.world.platform.appInstance.terminations(), 1);

    run.window->close();
    run.window->close();
    EXPECT_EQ(run.closed, 1);
}

TEST(OnboardingWindow, PermissionsExplainBluetoothThatIsOff) {
    FirstRun run(twoPhones(BleManagerState::poweredOff));
    run.advance(AgreementPage::kAcceptDelay);
    run.click(QStringLiteral("Continue"));
    run.advance(1);
    EXPECT_NE(run.label(QStringLiteral("Bluetooth is off.")), nullptr);
    EXPECT_NE(run.label(QStringLiteral("Please turn Bluetooth on in your Bluetooth settings, then "
                                       "return to continue setup.")),
              nullptr);
    // Turned on meanwhile: the screen follows without being asked.
    run.world.platform.bluetooth.setRadioState(BleManagerState::poweredOn);
    run.advance(1);
    EXPECT_NE(run.label(QStringLiteral("Bluetooth is on.")), nullptr);
    EXPECT_EQ(run.label(QStringLiteral("Please turn Bluetooth on")), nullptr);
}

// The way to the desktop's Bluetooth settings is offered only while Bluetooth needs turning on,
// and only where the desktop has such a page.
TEST(OnboardingWindow, TheBluetoothSettingsButtonAppearsOnlyWhenItCanHelp) {
    test::AppWorld world({}, twoPhones(BleManagerState::poweredOff));
    const auto openButton = [](const PermissionsPage& page) {
        for (auto* button : page.findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("Open Bluetooth Settings")) {
                return button;
            }
        }
        return static_cast<QPushButton*>(nullptr);
    };
    PermissionsPage withPage(*world.app, BluetoothSettingsLink({QStringLiteral("settings")}));
    PermissionsPage withoutPage(*world.app, BluetoothSettingsLink());
    world.platform.loop.advanceBy(1);
    EXPECT_EQ(withPage.bluetooth(), PermissionsPage::Bluetooth::off);
    ASSERT_NE(openButton(withPage), nullptr);
    EXPECT_FALSE(openButton(withPage)->isHidden());
    EXPECT_TRUE(openButton(withoutPage)->isHidden());

    world.platform.bluetooth.setRadioState(BleManagerState::poweredOn);
    world.platform.loop.advanceBy(1);
    EXPECT_EQ(withPage.bluetooth(), PermissionsPage::Bluetooth::on);
    EXPECT_TRUE(openButton(withPage)->isHidden());
}

TEST(OnboardingWindow, ChoosingADeviceStoresItAndAdvisesPairingAnUnpairedPhone) {
    FirstRun run;
    run.toDeviceChoice();
    EXPECT_EQ(run.world.app->scanner.currentScanMode(), ScanMode::onboarding);
    const auto rows = run.radios();
    ASSERT_EQ(rows.size(), 2);
    // Paired first, although "Alex" sorts before "Zoe".
    EXPECT_EQ(rows[0]->text(), QStringLiteral("Zoe's Phone"));
    EXPECT_EQ(rows[1]->text(), QStringLiteral("Alex's Phone"));

    QTest::mouseClick(rows[1], Qt::LeftButton);
    EXPECT_EQ(run.settings().stringForKey(keys::checkedPeripheralUUID), kAlexPhone.toString());
    EXPECT_EQ(run.settings().stringForKey(keys::checkedPeripheralName), "Alex's Phone");
    EXPECT_NE(run.label(QStringLiteral("is not paired with this computer")), nullptr);

    // The advice goes away with a paired choice; the rows stay as they were through the
    // scan's many publications.
    run.advance(2);
    QTest::mouseClick(run.radios().at(0), Qt::LeftButton);
    EXPECT_EQ(run.settings().stringForKey(keys::checkedPeripheralUUID), kZoePhone.toString());
    EXPECT_EQ(run.label(QStringLiteral("is not paired")), nullptr);
    EXPECT_TRUE(run.radios().at(0)->isChecked());

    // Refreshing starts the onboarding scan afresh, and the list fills again.
    const std::size_t scans = run.world.log.count("Starting continuous scanning for onboarding");
    auto* refresh = run.window->currentPage()->findChild<QToolButton*>();
    ASSERT_NE(refresh, nullptr);
    QTest::mouseClick(refresh, Qt::LeftButton);
    EXPECT_EQ(run.world.log.count("Starting continuous scanning for onboarding"), scans + 1);
    run.advance(2);
    EXPECT_EQ(run.radios().size(), 2);
    EXPECT_TRUE(run.radios().at(0)->isChecked());

    run.settings().setBool(keys::canScan, false);
    run.click(QStringLiteral("Continue"));
    EXPECT_EQ(run.settings().boolIfPresent(keys::canScan), true);
    EXPECT_EQ(run.world.app->scanner.currentScanMode(), ScanMode::monitoring);
    run.advance(0.5);
    EXPECT_TRUE(run.world.scanning());
}

TEST(OnboardingWindow, TheThresholdFollowsTheDragAndTheKeyboard) {
    FirstRun run;
    run.toCalibration();
    auto* page = qobject_cast<CalibrationPage*>(run.window->currentPage());
    ASSERT_NE(page, nullptr);
    EXPECT_NE(run.label(QStringLiteral("Zoe's Phone\u2069: Listening")), nullptr);
    run.advance(2);
    EXPECT_NE(run.label(QStringLiteral("Zoe's Phone\u2069: Present")), nullptr);
    EXPECT_NE(run.label(QStringLiteral("Selected -67 dBm")), nullptr);
    EXPECT_EQ(run.label(QStringLiteral("interfence")), nullptr);

    // Dragging the line a fifth of the plot up is 10 dB stronger: close enough to the signal
    // at -50 dBm to warn.
    CalibrationChart* chart = page->chart();
    const int x = chart->width() / 2;
    const int lineY = static_cast<int>(std::lround(chart->thresholdY()));
    const int up = static_cast<int>(std::lround(chart->plotHeight() / 5));
    QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(x, lineY));
    QTest::mouseMove(chart, QPoint(x, lineY - up / 2));
    QTest::mouseMove(chart, QPoint(x, lineY - up));
    QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(x, lineY - up));
    EXPECT_EQ(run.settings().doubleIfPresent(keys::averageMinRSSI), -57.0);
    EXPECT_FALSE(page->model().isDragging());
    EXPECT_NE(run.label(QStringLiteral("Selected -57 dBm")), nullptr);
    EXPECT_NE(run.label(QStringLiteral("Keep it at or below -64 dBm.")), nullptr);

    // The keyboard moves it a dBm at a time.
    chart->setFocus();
    QTest::keyClick(chart, Qt::Key_Down);
    QTest::keyClick(chart, Qt::Key_Down);
    EXPECT_EQ(run.settings().doubleIfPresent(keys::averageMinRSSI), -59.0);

    // A detection mode row writes the mode.
    for (auto* radio : run.radios()) {
        if (radio->text() == QStringLiteral("Responsive")) {
            QTest::mouseClick(radio, Qt::LeftButton);
        }
    }
    EXPECT_EQ(run.settings().stringForKey(keys::detectionMode), "Responsive");

    // The phone leaves: once its last reading is stale, the screen listens again and the
    // warning goes, while the chart keeps what it plotted.
    run.advance(315);
    EXPECT_NE(run.label(QStringLiteral("Zoe's Phone\u2069: Listening")), nullptr);
    EXPECT_EQ(run.label(QStringLiteral("interfence")), nullptr);
    EXPECT_EQ(page->model().history().size(), CalibrationModel::kMaxPoints);

    run.click(QStringLiteral("Continue"));
    EXPECT_EQ(run.window->currentScreen(), OnboardingScreen::launchAtLogin);
    // What was set stays.
    EXPECT_EQ(run.settings().doubleIfPresent(keys::averageMinRSSI), -59.0);
}

}  // namespace
}  // namespace ambleguard::ui
