#include "OnboardingShots.h"

#include "support/AppWorld.h"
#include "ui/AgreementPage.h"
#include "ui/CalibrationChart.h"
#include "ui/CalibrationPage.h"
#include "ui/OnboardingWindow.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include "Shots.h"

#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <memory>

namespace ambleguard::ui {

namespace {

sim::SimDeviceConfig phone(const char* id, std::string name, bool paired, double dbm) {
    sim::SimDeviceConfig device;
    device.identifier = *Uuid::parse(id);
    device.name = std::move(name);
    device.rssi = {{0, dbm, true}};
    device.noiseSigma = 1.5;
    device.privateAddressRotation = 900;
    device.paired = paired;
    return device;
}

sim::SimBluetoothConfig desk(BleManagerState radio, bool withDevices) {
    sim::SimBluetoothConfig bluetooth;
    bluetooth.initialRadioState = radio;
    if (!withDevices) {
        return bluetooth;
    }
    bluetooth.devices = {
        phone("11111111-2222-3333-4444-555555555555", "Alex's Phone", false, -62),
        phone("AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "Zoe's Phone", true, -52),
        phone("22222222-2222-3333-4444-555555555555",
              "A watch with a very long name that does not fit on one row of the list at all", true,
              -70),
    };
    return bluetooth;
}

class Run {
  public:
    explicit Run(const QString& dir, BleManagerState radio = BleManagerState::poweredOn,
                 bool withDevices = true)
        : dir_(dir), world_({}, desk(radio, withDevices)) {
        world_.app->launch();
        window_ = std::make_unique<OnboardingWindow>(*world_.app, OnboardingWindowHandlers{});
        window_->show();
    }

    void advance(double seconds) {
        world_.platform.loop.advanceBy(seconds);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    void click(const QString& text) {
        for (auto* button : window_->currentPage()->buttons()->findChildren<QPushButton*>()) {
            if (button->text() == text && button->isVisible() && button->isEnabled()) {
                button->click();
                advance(0);
                return;
            }
        }
    }
    void choose(int row) {
        const auto radios = window_->currentPage()->findChildren<QRadioButton*>();
        if (row < radios.size()) {
            radios[row]->click();
        }
    }
    void shot(const QString& name) {
        QCoreApplication::processEvents();
        window_->grab().save(dir_ + QStringLiteral("/onboarding-%1.png").arg(name));
    }
    OnboardingWindow& window() { return *window_; }

  private:
    QString dir_;
    test::AppWorld world_;
    std::unique_ptr<OnboardingWindow> window_;
};

}  // namespace

void renderOnboardingShots(const QString& dir, bool dark) {
    QDir().mkpath(dir);
    const QPalette previousPalette = QApplication::palette();
    const QString previousStyle = QApplication::style()->name();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(dark ? shots::darkPalette() : shots::lightPalette());
    {
        Run run(dir);
        run.shot(QStringLiteral("1-agreement-first-second"));
        run.advance(AgreementPage::kAcceptDelay);
        run.shot(QStringLiteral("1-agreement"));
        run.click(QStringLiteral("Continue"));
        run.shot(QStringLiteral("2-permissions-checking"));
        run.advance(1);
        run.shot(QStringLiteral("2-permissions"));
        run.click(QStringLiteral("Continue"));
        run.advance(3);
        run.shot(QStringLiteral("3-device-list"));
        run.choose(2);
        run.shot(QStringLiteral("3-device-unpaired-advice"));
        run.choose(1);
        run.click(QStringLiteral("Continue"));
        run.shot(QStringLiteral("4-threshold-listening"));
        run.advance(10);
        run.shot(QStringLiteral("4-threshold"));
        if (auto* page = qobject_cast<CalibrationPage*>(run.window().currentPage())) {
            page->chart()->setFocus();
            for (int i = 0; i < 10; ++i) {
                QTest::keyClick(page->chart(), Qt::Key_Up);
            }
        }
        run.advance(1);
        run.shot(QStringLiteral("4-threshold-warning"));
        run.click(QStringLiteral("Continue"));
        run.shot(QStringLiteral("5-launch-at-login"));
        run.click(QStringLiteral("Continue"));
        run.shot(QStringLiteral("6-final"));
    }
    {
        Run run(dir, BleManagerState::poweredOff);
        run.advance(AgreementPage::kAcceptDelay);
        run.click(QStringLiteral("Continue"));
        run.advance(1);
        run.shot(QStringLiteral("2-permissions-bluetooth-off"));
        run.click(QStringLiteral("Continue"));
        run.advance(1);
        run.shot(QStringLiteral("3-device-bluetooth-off"));
    }
    {
        Run run(dir, BleManagerState::poweredOn, false);
        run.advance(AgreementPage::kAcceptDelay);
        run.click(QStringLiteral("Continue"));
        run.advance(1);
        run.click(QStringLiteral("Continue"));
        run.advance(1);
        run.shot(QStringLiteral("3-device-empty"));
    }
    QApplication::setStyle(QStyleFactory::create(previousStyle));
    QApplication::setPalette(previousPalette);
}

}  // namespace ambleguard::ui
