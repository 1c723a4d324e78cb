#pragma once

#include <string_view>

namespace ambleguard {

// The few texts that some components write to standard output instead of the log.
class ConsoleOutput {
  public:
    virtual ~ConsoleOutput() = default;
    virtual void writeLine(std::string_view text) = 0;
};

// Discards every text; for runs whose output is something else (a replay's decisions).
class NullConsoleOutput final : public ConsoleOutput {
  public:
    void writeLine(std::string_view) override {}
};

}  // namespace ambleguard
