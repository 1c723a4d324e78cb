#pragma once

#include "cli/Command.h"

namespace ambleguard::cli {

// The desktop program itself: `ambleguard` with no command, or `ambleguard --headless`. Runs
// until the user quits it or a SIGINT/SIGTERM arrives. Until the desktop interface exists both
// run with no window.
int runDesktopProgram(int argc, char** argv, const Arguments& args);

}  // namespace ambleguard::cli
