#pragma once

#include "platform/IdleClock.h"

#include <memory>
#include <string>

namespace ambleguard::linuxdesktop {

// Idle time from the X server's screen-saver extension (XScreenSaverQueryInfo), for X11
// desktops without an idle service. Only meaningful on a real X11 session: under Wayland the
// X server sees only its own clients' input.
class XssIdleClock final : public IdleClock {
  public:
    // Connects to `displayName` (such as ":0"); null when the display cannot be opened or lacks
    // the extension.
    static std::unique_ptr<XssIdleClock> open(const std::string& displayName);

    XssIdleClock(const XssIdleClock&) = delete;
    XssIdleClock& operator=(const XssIdleClock&) = delete;
    ~XssIdleClock() override;

    std::optional<double> secondsSinceLastInput() override;

  private:
    struct Connection;
    explicit XssIdleClock(std::unique_ptr<Connection> connection);

    std::unique_ptr<Connection> connection_;
};

}  // namespace ambleguard::linuxdesktop
