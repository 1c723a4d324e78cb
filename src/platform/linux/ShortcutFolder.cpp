#include "platform/linux/ShortcutFolder.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace ambleguard::linuxdesktop {

namespace fs = std::filesystem;

fs::path ShortcutFolder::defaultFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg == '/') {
        return fs::path(xdg) / "ambleguard" / "shortcuts";
    }
    const char* home = std::getenv("HOME");
    const fs::path base = (home != nullptr && *home != '\0') ? fs::path(home) : fs::path(".");
    return base / ".config" / "ambleguard" / "shortcuts";
}

ShortcutCommands::Resolution ShortcutFolder::commandFor(const std::string& name) const {
    if (name.empty() || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos || name.front() == '.' || name.front() == '-') {
        return failure(fmt::format(
            "'{}' is not a usable shortcut name (it must not be empty, contain '/' or start "
            "with '.' or '-')",
            name));
    }
    const fs::path path = folder_ / name;
    std::error_code error;
    const auto status = fs::status(path, error);
    if (error || !fs::exists(status)) {
        return failure(fmt::format("no shortcut '{}': put an executable file of that name in {}",
                                   name, folder_.string()));
    }
    if (!fs::is_regular_file(status)) {
        return failure(fmt::format("shortcut {} is not a regular file", path.string()));
    }
    if (::access(path.c_str(), X_OK) != 0) {
        return failure(fmt::format("shortcut {} is not executable (chmod +x it)", path.string()));
    }
    return ShortcutCommand{path.string(), {}};
}

std::vector<std::string> ShortcutFolder::availableNames() const {
    std::vector<std::string> names;
    std::error_code error;
    // A missing or unreadable folder simply has no shortcuts yet.
    for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        // Listed exactly when a run by that name would start it.
        if (commandFor(name).ok()) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace ambleguard::linuxdesktop
