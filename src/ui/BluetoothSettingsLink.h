#pragma once

#include <QString>
#include <QStringList>

namespace ambleguard::ui {

// The desktop's own Bluetooth settings page, where the user turns Bluetooth on and pairs a
// phone. Unavailable (and its button hidden) when this desktop has no known settings program,
// or inside a sandbox that cannot start it.
class BluetoothSettingsLink {
  public:
    // The program and arguments that open the page; empty: unavailable.
    explicit BluetoothSettingsLink(QStringList command = {}) : command_(std::move(command)) {}

    // The page of the running desktop (KDE's when the session is Plasma, else GNOME's), found
    // on the search path.
    static BluetoothSettingsLink forThisDesktop();

    bool isAvailable() const { return !command_.isEmpty(); }
    const QStringList& command() const { return command_; }
    // Starts the settings program detached; false when it could not be started.
    bool open() const;

  private:
    QStringList command_;
};

}  // namespace ambleguard::ui
