#include "platform/posix/DesktopNotificationSettings.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace ambleguard::posix {

namespace {

std::optional<std::string> findExecutable(std::string_view name, std::string_view searchPath) {
    while (true) {
        const auto colon = searchPath.find(':');
        const std::string_view folder = searchPath.substr(0, colon);
        // Only absolute folders: an empty or relative entry would mean the working directory.
        if (folder.starts_with('/')) {
            const std::string candidate = (std::filesystem::path(folder) / name).string();
            std::error_code ec;
            if (std::filesystem::is_regular_file(candidate, ec) &&
                ::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        searchPath.remove_prefix(colon + 1);
    }
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

DesktopNotificationSettings::DesktopNotificationSettings(ProcessLauncher& launcher,
                                                         const std::string& searchPath,
                                                         const std::string& currentDesktop)
    : launcher_(launcher) {
    struct Candidate {
        std::string_view program;
        std::string_view page;
    };
    Candidate gnome{"gnome-control-center", "notifications"};
    Candidate kde{"systemsettings", "kcm_notifications"};
    const bool onKde = currentDesktop.find("KDE") != std::string::npos;
    for (const auto& candidate : onKde ? std::vector{kde, gnome} : std::vector{gnome, kde}) {
        if (auto path = findExecutable(candidate.program, searchPath)) {
            command_ = std::vector<std::string>{*path, std::string(candidate.page)};
            return;
        }
    }
}

DesktopNotificationSettings::DesktopNotificationSettings(ProcessLauncher& launcher)
    : DesktopNotificationSettings(launcher, environment("PATH"),
                                  environment("XDG_CURRENT_DESKTOP")) {}

bool DesktopNotificationSettings::open() {
    if (!command_) {
        return false;
    }
    // The settings window stays open as long as the user likes; how it ends does not matter.
    launcher_.run((*command_)[0], {(*command_)[1]}, [](const ProcessResult&) {});
    return true;
}

}  // namespace ambleguard::posix
