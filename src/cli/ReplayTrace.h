#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
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

// A recorded trace: one "t,rssi" line per reading, in time order. Empty lines and lines
// starting with "#" are skipped; a first line "t,rssi" is a header.
struct ReplayTrace {
    std::vector<TraceReading> readings;

    static std::variant<ReplayTrace, TraceError> parse(std::string_view text);
};

}  // namespace ambleguard::cli
