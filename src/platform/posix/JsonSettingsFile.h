#pragma once

#include "platform/Clock.h"
#include "platform/SettingsPersistence.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace ambleguard::posix {

// The settings store's file: JSON, replaced atomically on every save. A file that cannot be
// parsed is renamed aside (never overwritten) and loading starts from defaults; a file that
// exists but cannot be read is never overwritten either.
class JsonSettingsFile final : public SettingsPersistence {
  public:
    JsonSettingsFile(std::filesystem::path path, const Clock& clock);

    // $XDG_CONFIG_HOME/ambleguard/settings.json, or ~/.config/ambleguard/settings.json.
    static std::filesystem::path defaultPath();

    // One stored value, read without touching anything (a file that cannot be read or parsed
    // gives nothing; the store's own load deals with it). For choices made before the store
    // exists.
    static std::optional<SettingValue> peek(const std::filesystem::path& path,
                                            std::string_view key);

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
