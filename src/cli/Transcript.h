#pragma once

#include "base/Log.h"

#include <string>
#include <utility>
#include <vector>

namespace ambleguard::cli {

// One line of what happened in a simulated run.
struct TranscriptEntry {
    enum class Kind {
        log,     // a log line of the program: category, level, text
        output,  // a text the program wrote to standard output
        action,  // something the program made the platform do (lock, sound, shortcut, ...)
        event,   // something the scenario made happen around the program
    };

    // Seconds since the start of the run.
    double t = 0;
    Kind kind = Kind::log;
    std::string category;  // log lines only
    LogLevel level = LogLevel::notice;
    // The line for people: the log text, the output text, or a description.
    std::string text;
    // Actions and events: a stable name ("lockScreen", "shortcut", "bluetooth", ...) and its
    // details as (field, value) pairs, for the JSON form and for tests.
    std::string name;
    std::vector<std::pair<std::string, std::string>> fields;
    // Details that are counts, written as JSON numbers after the text fields.
    std::vector<std::pair<std::string, long long>> counts;

    // The value of `field`, or an empty text.
    std::string field(std::string_view field) const {
        for (const auto& [key, value] : fields) {
            if (key == field) {
                return value;
            }
        }
        return {};
    }
};

// Receives a run's entries as they happen.
class TranscriptSink {
  public:
    virtual ~TranscriptSink() = default;
    virtual void entry(const TranscriptEntry& entry) = 0;
    // False when log lines of `level` are not wanted, so they need not be formatted.
    virtual bool wantsLog(LogLevel level) const = 0;
};

}  // namespace ambleguard::cli
