#pragma once

#include "platform/Clock.h"
#include "platform/SettingsPersistence.h"

#include <filesystem>

namespace ambleguard::posix {

// The settings store's file: JSON, replaced atomically on every save. A file that cannot be
// parsed is renamed aside (never overwritten) and loading starts from defaults; a file that
// exists but cannot be read is never overwritten either.
class JsonSettingsFile final : public SettingsPersistence {
  public:
    JsonSettingsFile(std::filesystem::path path, const Clock& clock);

    // $XDG_CONFIG_HOME/ambleguard/settings.json, or ~/.config/ambleguard/settings.json.
    static std::filesystem::path defaultPath();

    Loaded load() override;
    Result<void> save(const SettingValues& values) override;
    std::string location() const override { return path_.string(); }

  private:
    std::filesystem::path asideName() const;

    std::filesystem::path path_;
    const Clock& clock_;
    std::string preservedJson_ = "{}";
    std::optional<std::string> refuseWrites_;
};

}  // namespace ambleguard::posix
