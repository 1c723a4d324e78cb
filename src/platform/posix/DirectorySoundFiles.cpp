#include "platform/posix/DirectorySoundFiles.h"

#include <system_error>

namespace ambleguard::posix {

namespace fs = std::filesystem;

std::optional<std::string> DirectorySoundFiles::resourcePath(std::string_view name,
                                                             std::string_view extension,
                                                             std::string_view subdirectory) const {
    fs::path path = resourceRoot_ / subdirectory / name;
    path += ".";
    path += extension;
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        return std::nullopt;
    }
    return path.string();
}

bool DirectorySoundFiles::fileExists(const std::string& path) const {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

std::optional<std::vector<std::string>> DirectorySoundFiles::folderEntries(
    const std::string& folder) const {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) {
        return std::nullopt;
    }
    std::vector<std::string> entries;
    // On a failed step the iterator becomes the end, so the loop stops and the error shows.
    for (; it != fs::directory_iterator(); it.increment(error)) {
        entries.push_back(it->path().filename().string());
    }
    if (error) {
        return std::nullopt;
    }
    return entries;
}

}  // namespace ambleguard::posix
