#pragma once

#include "base/Log.h"
#include "platform/Clock.h"
#include "platform/Console.h"

#include <cstdio>
#include <mutex>

namespace ambleguard::posix {

// Log lines as text on standard error: "<time> [<category>] <level>: <text>". Lines below
// `minimum` are dropped.
class StderrLogSink final : public LogSink {
  public:
    StderrLogSink(const Clock& clock, LogLevel minimum) : clock_(clock), minimum_(minimum) {}
    void write(const LogRecord& record) override;

  private:
    const Clock& clock_;
    LogLevel minimum_;
    std::mutex mutex_;
};

// Standard-output texts, one per line.
class StdoutConsole final : public ConsoleOutput {
  public:
    void writeLine(std::string_view text) override;

  private:
    std::mutex mutex_;
};

}  // namespace ambleguard::posix
