#include "platform/sim/SimSoundFiles.h"

#include <fmt/format.h>

namespace ambleguard::sim {

namespace {

// The folder part of `path`, or nothing when it has none.
std::optional<std::string> parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    return path.substr(0, slash);
}

}  // namespace

SimSoundFiles::SimSoundFiles(std::vector<std::string> files) : files_(files.begin(), files.end()) {}

std::optional<std::string> SimSoundFiles::resourcePath(std::string_view name,
                                                       std::string_view extension,
                                                       std::string_view subdirectory) const {
    std::string path = fmt::format("{}/{}/{}.{}", kResourceRoot, subdirectory, name, extension);
    if (!files_.contains(path)) {
        return std::nullopt;
    }
    return path;
}

bool SimSoundFiles::fileExists(const std::string& path) const {
    return files_.contains(path);
}

std::optional<std::vector<std::string>> SimSoundFiles::folderEntries(
    const std::string& folder) const {
    if (unlistable_.contains(folder)) {
        return std::nullopt;
    }
    std::vector<std::string> entries;
    for (const auto& path : files_) {
        if (parentOf(path) == folder) {
            entries.push_back(path.substr(folder.size() + 1));
        }
    }
    return entries;
}

void SimSoundFiles::clearFolder(const std::string& folder) {
    std::erase_if(files_, [&](const std::string& path) { return parentOf(path) == folder; });
}

}  // namespace ambleguard::sim
