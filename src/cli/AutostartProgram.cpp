#include "cli/AutostartProgram.h"

#include <sstream>
#include <system_error>

namespace ambleguard::cli {

namespace fs = std::filesystem;

std::string autostartProgram(const fs::path& running, const std::string& searchPath) {
    std::istringstream folders(searchPath);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) {
            continue;
        }
        std::error_code error;
        const fs::path candidate = fs::path(folder) / "ambleguard";
        // The first match is what a login shell would start; it must be this program.
        if (fs::exists(candidate, error)) {
            return fs::equivalent(candidate, running, error) ? "ambleguard" : running.string();
        }
    }
    return running.string();
}

}  // namespace ambleguard::cli
