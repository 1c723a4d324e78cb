#pragma once

#include <filesystem>

namespace ambleguard::cli {

// Where the program's resources (Sounds/ and the like) are: <prefix>/share/ambleguard when the
// executable runs from <prefix>/bin, wherever that prefix is; otherwise `buildTreeFolder`, the
// sources' resources, for a program run from its build folder.
std::filesystem::path resourceFolder(const std::filesystem::path& executableFolder,
                                     const std::filesystem::path& buildTreeFolder);

}  // namespace ambleguard::cli
