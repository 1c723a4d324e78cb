#pragma once

#include "platform/NotificationSettingsLink.h"
#include "platform/ProcessLauncher.h"

#include <optional>
#include <string>
#include <vector>

namespace ambleguard::posix {

// The notification page of the desktop's settings program: GNOME's `gnome-control-center
// notifications` or KDE's `systemsettings kcm_notifications`, whichever is installed (the
// running desktop's own first). Unavailable when neither is.
class DesktopNotificationSettings final : public NotificationSettingsLink {
  public:
    // `searchPath` is a PATH-style list of folders; `currentDesktop` is XDG_CURRENT_DESKTOP.
    DesktopNotificationSettings(ProcessLauncher& launcher, const std::string& searchPath,
                                const std::string& currentDesktop);
    // From this process's PATH and XDG_CURRENT_DESKTOP.
    explicit DesktopNotificationSettings(ProcessLauncher& launcher);

    bool isAvailable() const override { return command_.has_value(); }
    bool open() override;

    // The program and its arguments, when one was found.
    const std::optional<std::vector<std::string>>& command() const { return command_; }

  private:
    ProcessLauncher& launcher_;
    std::optional<std::vector<std::string>> command_;
};

}  // namespace ambleguard::posix
