#pragma once

#include "base/Result.h"

#include <functional>
#include <string>
#include <vector>

namespace ambleguard {

// The program ran and ended. A program ended by a signal reports 128 plus the signal number, as
// a shell would, so that only a clean exit counts as 0.
struct ProcessExit {
    int status = 0;
    // What it wrote, byte for byte; of a long output only the start and the end are kept, with
    // a line between them saying how much was left out.
    std::string standardOutput;
    std::string standardError;
    bool operator==(const ProcessExit&) const = default;
};

// How the program ended, or why it could not be started at all (missing, not executable, no
// resources), as a sentence for the log.
using ProcessResult = Result<ProcessExit>;

// Runs helper programs (the shortcuts tool) and reports how they ended.
class ProcessLauncher {
  public:
    using Completion = std::function<void(ProcessResult)>;

    virtual ~ProcessLauncher() = default;

    // Starts `executable` directly, without a shell, with `arguments` as its arguments (each one
    // arrives unchanged as a single argument). Standard input is inherited; standard output and
    // standard error are captured (bounded, see ProcessExit). Returns at once. `completion` runs
    // exactly once on the main queue when the program has ended or could not be started, never
    // inside this call; a program that never ends never completes.
    virtual void run(std::string executable, std::vector<std::string> arguments,
                     Completion completion) = 0;
};

}  // namespace ambleguard
