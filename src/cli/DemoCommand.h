#pragma once

#include "cli/Command.h"

namespace ambleguard::cli {

// `ambleguard demo [SCENARIO] [--speed X]`: the real user interface on the simulated platform,
// the scenario playing in real time or faster.
int runDemoCommand(int argc, char** argv, const Arguments& args, const Streams& io);

}  // namespace ambleguard::cli
