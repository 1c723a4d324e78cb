#pragma once

#include "cli/Command.h"

#include <string_view>

namespace ambleguard::cli {

// `ambleguard simulate [OPTIONS] [SCENARIO.json]`: runs the whole program in the simulated
// world, on the given scenario or the built-in one, and prints what it logged and did.
int runSimulateCommand(const Arguments& args, const Streams& io);

void printSimulateHelp(std::FILE* out);

// The scenario run when none is given (a copy of data/scenarios/default.json made at build
// time).
std::string_view defaultScenarioText();

}  // namespace ambleguard::cli
