#pragma once

#include "base/Liveness.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "ui/BluetoothSettingsLink.h"
#include "ui/OnboardingPage.h"

class QLabel;
class QPushButton;

namespace ambleguard {
class Application;
}

namespace ambleguard::ui {

class PermissionCard;

// What the program needs from the system. This desktop asks no per-program questions, so the
// screen checks instead: that a Bluetooth adapter is present and on (the scanner's central is
// created here, and its state followed), whether notifications can be shown, and, in builds
// that look for updates, that the network needs no permission. Continue is always usable:
// Bluetooth can be turned on later, and the next screen says when it is off.
class PermissionsPage final : public OnboardingPage {
    Q_OBJECT

  public:
    // How far the scanner's Bluetooth is from usable.
    enum class Bluetooth { checking, on, off, refused, unavailable };

    PermissionsPage(Application& app, BluetoothSettingsLink settingsLink,
                    QWidget* parent = nullptr);

    void leave() override;

    Bluetooth bluetooth() const { return bluetooth_; }

  private:
    void checkAgain();
    void refreshBluetooth();
    void askNotifications();

    Application& app_;
    BluetoothSettingsLink settingsLink_;
    Bluetooth bluetooth_ = Bluetooth::checking;
    PermissionCard* bluetoothCard_;
    PermissionCard* notificationsCard_;
    QWidget* guidanceRow_;
    QLabel* guidance_;
    QPushButton* openSettings_;
    // The adapter's state is re-read every second: a central turning on publishes nothing new.
    ScopedTimer poll_;
    Connection errorObserver_;
    Connection authorizationObserver_;
    LivenessToken liveness_;
};

}  // namespace ambleguard::ui
