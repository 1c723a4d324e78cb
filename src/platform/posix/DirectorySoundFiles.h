#pragma once

#include "platform/SoundFiles.h"

#include <filesystem>

namespace ambleguard::posix {

// Sound files on disk; the program's resources live in folders under `resourceRoot`.
class DirectorySoundFiles final : public SoundFiles {
  public:
    explicit DirectorySoundFiles(std::filesystem::path resourceRoot)
        : resourceRoot_(std::move(resourceRoot)) {}

    std::optional<std::string> resourcePath(std::string_view name, std::string_view extension,
                                            std::string_view subdirectory) const override;
    bool fileExists(const std::string& path) const override;
    std::optional<std::vector<std::string>> folderEntries(const std::string& folder) const override;

  private:
    std::filesystem::path resourceRoot_;
};

}  // namespace ambleguard::posix
