#pragma once

#include "platform/SoundFiles.h"

#include <set>
#include <string>
#include <vector>

namespace ambleguard::sim {

// Sound files that exist only in memory, starting with the paths it is given.
class SimSoundFiles final : public SoundFiles {
  public:
    static constexpr std::string_view kResourceRoot = "/sim/resources";

    explicit SimSoundFiles(std::vector<std::string> files = {});

    std::optional<std::string> resourcePath(std::string_view name, std::string_view extension,
                                            std::string_view subdirectory) const override;
    bool fileExists(const std::string& path) const override;
    std::optional<std::vector<std::string>> folderEntries(const std::string& folder) const override;

    void addFile(const std::string& path) { files_.insert(path); }
    void removeFile(const std::string& path) { files_.erase(path); }
    // Removes every file directly inside `folder`.
    void clearFolder(const std::string& folder);
    // A folder that exists but cannot be listed.
    void setUnlistable(const std::string& folder) { unlistable_.insert(folder); }

  private:
    std::set<std::string> files_;
    std::set<std::string> unlistable_;
};

}  // namespace ambleguard::sim
