#pragma once

#include "base/Executor.h"
#include "base/MainQueue.h"
#include "platform/ProcessLauncher.h"

#include <memory>
#include <string_view>

namespace ambleguard::posix {

// Where this machine's shortcuts command-line tool lives. Linux has no such tool of its own; a
// user who wants shortcut actions installs a program taking "run <name>" at this path.
inline constexpr std::string_view kShortcutsToolPath = "/usr/bin/shortcuts";

// Starts programs with posix_spawn and waits for them on `worker` (one blocking wait per run, so
// give it an executor that can run several tasks at once, such as ThreadExecutor). Standard
// output and standard error are drained together while the child runs, so a chatty program never
// stalls on a full pipe. The child is always reaped. Completions are posted to `mainQueue`.
//
// Destroying the launcher tells runs still waiting to give up, so that quitting never hangs on a
// shortcut that does not end (whether or not it still holds its outputs open): their
// completions are dropped and their children are left running without anyone reading their
// output. Both executors must outlive the launcher.
class PosixProcessLauncher final : public ProcessLauncher {
  public:
    PosixProcessLauncher(Executor& worker, MainQueue& mainQueue);
    PosixProcessLauncher(const PosixProcessLauncher&) = delete;
    PosixProcessLauncher& operator=(const PosixProcessLauncher&) = delete;
    ~PosixProcessLauncher() override;

    void run(std::string executable, std::vector<std::string> arguments,
             Completion completion) override;

    // A self-pipe that becomes readable when the launcher goes away; runs poll it.
    class StopSignal;

  private:
    Executor& worker_;
    MainQueue& mainQueue_;
    std::shared_ptr<StopSignal> stop_;
};

}  // namespace ambleguard::posix
