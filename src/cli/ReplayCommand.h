#pragma once

#include "cli/Command.h"

namespace ambleguard::cli {

// `ambleguard replay [options] FILE`: runs a recorded RSSI trace through the presence pipeline
// in virtual time and prints what it decided.
int runReplayCommand(const Arguments& args, const Streams& io);

void printReplayHelp(std::FILE* out);

}  // namespace ambleguard::cli
