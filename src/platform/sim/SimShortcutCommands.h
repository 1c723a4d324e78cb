#pragma once

#include "platform/ShortcutCommands.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace ambleguard::sim {

// Shortcuts in the simulated world: every name runs through a shortcuts tool ("<tool> run
// <name>"), so the simulated launcher's scripts pick outcomes by name. What the world lists and
// where its folder is are set by the scenario or test; by default nothing is listed and there is
// no folder.
class SimShortcutCommands final : public ShortcutCommands {
  public:
    explicit SimShortcutCommands(std::string toolPath) : tool_(std::move(toolPath)) {}

    Resolution commandFor(const std::string& name) const override { return tool_.commandFor(name); }
    std::vector<std::string> availableNames() const override { return names_; }
    std::string folder() const override { return folder_; }

    void setAvailableNames(std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        names_ = std::move(names);
    }
    void setFolder(std::string folder) { folder_ = std::move(folder); }

  private:
    ShortcutsToolCommands tool_;
    std::vector<std::string> names_;
    std::string folder_;
};

}  // namespace ambleguard::sim
