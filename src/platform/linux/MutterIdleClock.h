#pragma once

#include "platform/IdleClock.h"

#include <QDBusConnection>

namespace ambleguard::linuxdesktop {

// GNOME's idle time (Wayland and X11 alike): org.gnome.Mutter.IdleMonitor's GetIdletime on the
// core monitor, in milliseconds. Unknown whenever the call fails.
class MutterIdleClock final : public IdleClock {
  public:
    explicit MutterIdleClock(QDBusConnection sessionBus) : bus_(std::move(sessionBus)) {}
    std::optional<double> secondsSinceLastInput() override;

  private:
    QDBusConnection bus_;
};

}  // namespace ambleguard::linuxdesktop
