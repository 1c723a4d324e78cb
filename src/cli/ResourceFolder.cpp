#include "cli/ResourceFolder.h"

namespace ambleguard::cli {

std::filesystem::path resourceFolder(const std::filesystem::path& executableFolder,
                                     const std::filesystem::path& buildTreeFolder) {
    auto installed = (executableFolder / ".." / "share" / "ambleguard").lexically_normal();
    std::error_code error;
    if (std::filesystem::is_directory(installed / "Sounds", error)) {
        return installed;
    }
    return buildTreeFolder;
}

}  // namespace ambleguard::cli
