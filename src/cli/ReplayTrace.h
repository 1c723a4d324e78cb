#pragma once

#include "base/Result.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard::cli {

// One recorded reading: seconds on the trace's own axis and the raw RSSI in dBm.
struct TraceReading {
    double t = 0;
    int rssi = 0;
};

// Why a trace could not be read, and where.
struct TraceError {
    std::size_t line = 0;  // 1-based
    std::string message;
};

// Reads a trace one line at a time, so that a trace of any length is replayed in constant
// memory. Lines are "t,rssi", one reading each, in time order; empty lines and lines starting
// with "#" are skipped; a first line "t,rssi" is a header. A line may end in "\r".
class TraceLineParser {
  public:
    // The longest line accepted (a reading needs a few dozen characters).
    static constexpr std::size_t kMaxLineLength = 4096;

    // The next line, without its "\n": a reading, nothing for a line that holds none, or why
    // the line is wrong (with its number).
    using Parsed = Result<std::optional<TraceReading>, TraceError>;
    Parsed parseLine(std::string_view line);

    std::size_t lineNumber() const { return lineNumber_; }

  private:
    std::size_t lineNumber_ = 0;
    bool seenContent_ = false;
    std::optional<double> lastTime_;
};

// A whole trace in memory (tests, the fuzzer): every line of `text` through TraceLineParser.
struct ReplayTrace {
    std::vector<TraceReading> readings;

    static Result<ReplayTrace, TraceError> parse(std::string_view text);
};

}  // namespace ambleguard::cli
