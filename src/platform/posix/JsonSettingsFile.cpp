#include "platform/posix/JsonSettingsFile.h"

#include "base/SettingsCodec.h"
#include "platform/posix/AtomicFile.h"

#include <fmt/format.h>

#include <cstdlib>
#include <system_error>

namespace ambleguard::posix {

namespace fs = std::filesystem;

JsonSettingsFile::JsonSettingsFile(fs::path path, const Clock& clock)
    : path_(std::move(path)), clock_(clock) {}

fs::path JsonSettingsFile::defaultPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg == '/') {
        return fs::path(xdg) / "ambleguard" / "settings.json";
    }
    const char* home = std::getenv("HOME");
    const fs::path base = (home != nullptr && *home != '\0') ? fs::path(home) : fs::path(".");
    return base / ".config" / "ambleguard" / "settings.json";
}

fs::path JsonSettingsFile::asideName() const {
    // settings.json.corrupt-20261206T081723Z, with a counter when that name is taken.
    std::string stamp = formatIso8601(clock_.now()).substr(0, 19);
    std::erase(stamp, '-');
    std::erase(stamp, ':');
    const std::string base = path_.filename().string() + ".corrupt-" + stamp + "Z";
    fs::path candidate = path_.parent_path() / base;
    std::error_code ec;
    for (int n = 1; fs::exists(candidate, ec) && n < 1000; ++n) {
        candidate = path_.parent_path() / fmt::format("{}-{}", base, n);
    }
    return candidate;
}

std::optional<SettingValue> JsonSettingsFile::peek(const fs::path& path, std::string_view key) {
    auto read = readWholeFile(path);
    if (read.status != ReadStatus::ok) {
        return std::nullopt;
    }
    auto decoded = decodeSettings(read.contents);
    if (!decoded) {
        return std::nullopt;
    }
    auto& values = decoded.value().values;
    const auto it = values.find(key);
    if (it == values.end()) {
        return std::nullopt;
    }
    return it->second;
}

SettingsPersistence::Loaded JsonSettingsFile::load() {
    Loaded loaded;
    if (auto warning = tightenFolderPermissions(path_)) {
        loaded.problems.push_back(std::move(*warning));
    }
    // Left by writes that were killed; each is a stale copy of every setting.
    removeStaleTemporaryFiles(path_);
    auto read = readWholeFile(path_);
    if (read.status == ReadStatus::missing) {
        return loaded;
    }
    if (read.status == ReadStatus::failed) {
        refuseWrites_ = "the existing file could not be read, so it is left untouched";
        loaded.problems.push_back(fmt::format(
            "Settings file {} could not be read ({}); starting from defaults, changes are kept "
            "in memory only",
            path_.string(), read.error));
        return loaded;
    }

    auto decoded = read.status == ReadStatus::tooLarge
                       ? Result<DecodedSettings>::failure(read.error)
                       : decodeSettings(read.contents);
    if (!decoded) {
        const std::string& error = decoded.error();
        const fs::path aside = asideName();
        std::error_code ec;
        fs::rename(path_, aside, ec);
        if (ec) {
            refuseWrites_ = "the unreadable file could not be moved aside, so it is left untouched";
            loaded.problems.push_back(fmt::format(
                "Settings file {} could not be parsed ({}) and could not be moved aside ({}); "
                "starting from defaults, changes are kept in memory only",
                path_.string(), error, ec.message()));
        } else {
            loaded.problems.push_back(fmt::format(
                "Settings file {} could not be parsed ({}); it was kept as {} and settings start "
                "from defaults",
                path_.string(), error, aside.string()));
        }
        return loaded;
    }

    auto& settings = decoded.value();
    if (!settings.skippedKeys.empty()) {
        std::string names;
        for (const auto& key : settings.skippedKeys) {
            names += (names.empty() ? "" : ", ") + key;
        }
        loaded.problems.push_back(fmt::format(
            "Settings file {}: values of unsupported form under {} read as absent (they stay in "
            "the file)",
            path_.string(), names));
    }
    preservedJson_ = std::move(settings.preservedJson);
    loaded.values = std::move(settings.values);
    return loaded;
}

Result<void> JsonSettingsFile::save(const SettingValues& values) {
    if (refuseWrites_) {
        return failure(*refuseWrites_);
    }
    return writeFileAtomically(path_, encodeSettings(values, preservedJson_));
}

}  // namespace ambleguard::posix
