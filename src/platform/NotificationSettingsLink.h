#pragma once

namespace ambleguard {

// The desktop's own notification settings, where the user allows or silences this program.
class NotificationSettingsLink {
  public:
    virtual ~NotificationSettingsLink() = default;
    // False when this desktop has no such settings page; the button leading there is hidden.
    virtual bool isAvailable() const = 0;
    // Opens the page; false when it could not be opened.
    virtual bool open() = 0;
};

}  // namespace ambleguard
