#pragma once

#include "platform/ShortcutCommands.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ambleguard::linuxdesktop {

// Linux has no shortcuts tool, so a shortcut is an executable file in one folder, named by the
// shortcut's name, started directly (no shell, no arguments). Names that could leave the folder
// or be read as an option ('/', a leading '.' or '-', NUL) are refused, and so are names with no
// executable file behind them, each with a sentence saying what to do.
class ShortcutFolder final : public ShortcutCommands {
  public:
    explicit ShortcutFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // $XDG_CONFIG_HOME/ambleguard/shortcuts, or ~/.config/ambleguard/shortcuts.
    static std::filesystem::path defaultFolder();

    Resolution commandFor(const std::string& name) const override;
    // The names in the folder that would run: usable names of executable regular files.
    std::vector<std::string> availableNames() const override;
    std::string folder() const override { return folder_.string(); }

  private:
    std::filesystem::path folder_;
};

}  // namespace ambleguard::linuxdesktop
