#pragma once

#include "platform/LoginItem.h"

#include <filesystem>
#include <string>

namespace ambleguard::posix {

// Launch at login as the freedesktop autostart standard has it: a desktop entry in the
// user's autostart folder, which GNOME, KDE and the other desktops start at login. The file is
// read afresh for every question, so a change the user made in the desktop's own settings
// (which write `Hidden=true`, or GNOME's `X-GNOME-Autostart-enabled=false`) reads as off.
class XdgAutostartEntry final : public LoginItem {
  public:
    static constexpr const char* kFileName = "ambleguard.desktop";

    // `executable` is the program's absolute path, started without arguments.
    XdgAutostartEntry(std::filesystem::path autostartFolder, std::string executable);

    // $XDG_CONFIG_HOME/autostart, or ~/.config/autostart.
    static std::filesystem::path defaultFolder();

    Status status() const override;
    // Writes the entry atomically, replacing whatever was there (a disabled entry included).
    Result<void> registerItem() override;
    // Removes the entry; no entry at all is already the wanted state.
    Result<void> unregisterItem() override;

    std::filesystem::path path() const { return folder_ / kFileName; }
    // The entry's text for this program.
    std::string contents() const;

  private:
    std::filesystem::path folder_;
    std::string executable_;
};

}  // namespace ambleguard::posix
