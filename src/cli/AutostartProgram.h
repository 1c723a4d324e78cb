#pragma once

#include <filesystem>
#include <string>

namespace ambleguard::cli {

// What the login entry starts: the bare name "ambleguard" when `PATH` (`searchPath`, its
// folders separated by ':') finds this very program under it, so a package upgrade keeps the
// entry working; otherwise `running` by its full path, since a program run from its build folder
// is on no PATH at login.
std::string autostartProgram(const std::filesystem::path& running, const std::string& searchPath);

}  // namespace ambleguard::cli
