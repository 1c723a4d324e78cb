#pragma once

#include "base/Result.h"

#include <string>
#include <utility>
#include <vector>

namespace ambleguard {

// What to start for one shortcut: a program and its arguments, run without a shell.
struct ShortcutCommand {
    std::string executable;
    std::vector<std::string> arguments;
    bool operator==(const ShortcutCommand&) const = default;
};

// Where a shortcut of a given name lives on this platform. The answer is the command to run,
// or a failure saying why this name cannot be run (a sentence for the log).
class ShortcutCommands {
  public:
    using Resolution = Result<ShortcutCommand>;

    virtual ~ShortcutCommands() = default;
    virtual Resolution commandFor(const std::string& name) const = 0;

    // The names that would run now, sorted, for the user to pick from; empty where the
    // shortcuts cannot be listed.
    virtual std::vector<std::string> availableNames() const { return {}; }
    // The folder the user keeps shortcuts in, to open in a file manager; empty where shortcuts
    // live inside a tool of their own.
    virtual std::string folder() const { return {}; }
};

// Shortcuts run by a command-line tool that takes "run <name>", the name as one argument.
class ShortcutsToolCommands final : public ShortcutCommands {
  public:
    explicit ShortcutsToolCommands(std::string toolPath) : toolPath_(std::move(toolPath)) {}
    Resolution commandFor(const std::string& name) const override {
        if (name.starts_with('-')) {
            // The tool would read such a name as one of its options. Not every tool takes "--"
            // to end its options, so the name is refused rather than passed.
            return failure("the name '" + name +
                           "' begins with '-', which the shortcuts tool would read as an option");
        }
        return ShortcutCommand{toolPath_, {"run", name}};
    }

  private:
    std::string toolPath_;
};

}  // namespace ambleguard
