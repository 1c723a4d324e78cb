#pragma once

#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "platform/ProcessLauncher.h"
#include "platform/ShortcutCommands.h"

#include <functional>
#include <string>
#include <string_view>

namespace ambleguard {

// Runs the user's automation shortcuts by name (the platform says what to start for a name),
// logs how each run went and reports success (exit status 0) back. It
// knows nothing of sequencing: callers have already decided and advanced their own state, so a
// failure is only logged here and never retried.
class ShortcutRunner {
  public:
    // Called exactly once per run, on the main queue: true when the tool exited with status 0.
    using Completion = std::function<void(bool succeeded)>;

    ShortcutRunner(const ShortcutCommands& commands, ProcessLauncher& launcher,
                   MainQueue& mainQueue, LogSink& logSink);
    ShortcutRunner(const ShortcutRunner&) = delete;
    ShortcutRunner& operator=(const ShortcutRunner&) = delete;

    // Starts the run and returns at once. `kind` ("away", "return", "test") only labels the
    // log lines; `name` reaches the platform's resolution unchanged.
    void runShortcut(const std::string& name, std::string_view kind, Completion completion);

    // The settings panel's test button: trims blanks and line breaks from the name; an empty
    // result fails (asynchronously, without starting anything).
    void testShortcut(std::string_view name, Completion completion);

  private:
    void finish(const std::string& name, const std::string& kind, ProcessResult result,
                const Completion& completion) const;

    const ShortcutCommands& commands_;
    ProcessLauncher& launcher_;
    MainQueue& mainQueue_;
    Logger log_;
    LivenessToken liveness_;
};

}  // namespace ambleguard
