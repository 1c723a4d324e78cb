#pragma once

#include "base/MainQueue.h"
#include "base/Signal.h"
#include "platform/ProcessLauncher.h"

#include <map>
#include <string>
#include <vector>

namespace ambleguard::sim {

// How one simulated program run ends.
struct SimProcessScript {
    ProcessResult result = ProcessExit{};  // exit status 0, no output
    double delay = 0;                      // virtual seconds from the start to the end
    bool neverEnds = false;                // the completion is never called
};

// Processes in the simulated world: nothing is started. Every run is recorded, and its outcome
// comes from the script registered for its last argument (a shortcut's name), or else from the
// default script. Completions arrive on the main queue after the script's delay.
class SimProcessLauncher final : public ProcessLauncher {
  public:
    struct Run {
        std::string executable;
        std::vector<std::string> arguments;
    };

    explicit SimProcessLauncher(MainQueue& mainQueue) : mainQueue_(mainQueue) {}

    void run(std::string executable, std::vector<std::string> arguments,
             Completion completion) override;

    void setDefaultScript(SimProcessScript script) { defaultScript_ = std::move(script); }
    void setScript(std::string lastArgument, SimProcessScript script);

    const std::vector<Run>& runs() const { return runs_; }
    // The last arguments of every run, in order (for a shortcut tool: the names run).
    std::vector<std::string> lastArguments() const;
    // Raised as each run starts.
    [[nodiscard]] Connection onRun(std::function<void(const Run&)> observer) {
        return started_.connect(std::move(observer));
    }

  private:
    MainQueue& mainQueue_;
    SimProcessScript defaultScript_;
    std::map<std::string, SimProcessScript, std::less<>> scripts_;
    std::vector<Run> runs_;
    Signal<const Run&> started_;
};

}  // namespace ambleguard::sim
