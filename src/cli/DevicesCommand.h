#pragma once

#include "cli/Command.h"

namespace ambleguard::cli {

// `ambleguard devices [--seconds N] [--json]`: scans for N seconds (default 8) and lists the
// devices the device list would show, paired ones first.
int runDevicesCommand(int argc, char** argv, const Arguments& args, const Streams& io);

// `ambleguard track ID [--seconds N]`: chooses the device with that identifier exactly as the
// device list does, once it is seen (or known to the Bluetooth stack), and finishes onboarding.
int runTrackCommand(int argc, char** argv, const Arguments& args, const Streams& io);

}  // namespace ambleguard::cli
