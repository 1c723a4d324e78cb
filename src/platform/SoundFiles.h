#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard {

// Finding sound files: the program's own resources and the system's folders.
class SoundFiles {
  public:
    virtual ~SoundFiles() = default;
    // The path of the program's resource `name`.`extension` in its resource folder
    // `subdirectory`; nothing when there is no such resource.
    virtual std::optional<std::string> resourcePath(std::string_view name,
                                                    std::string_view extension,
                                                    std::string_view subdirectory) const = 0;
    virtual bool fileExists(const std::string& path) const = 0;
    // The names of the entries directly inside `folder`, in no particular order; nothing when
    // the folder cannot be listed.
    virtual std::optional<std::vector<std::string>> folderEntries(
        const std::string& folder) const = 0;
};

}  // namespace ambleguard
