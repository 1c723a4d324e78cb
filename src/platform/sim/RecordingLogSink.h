#pragma once

#include "base/Log.h"
#include "platform/Console.h"

#include <string>
#include <vector>

namespace ambleguard::sim {

// Keeps every log line, for tests and for the simulator's transcript.
class RecordingLogSink final : public LogSink {
  public:
    struct Entry {
        std::string category;
        LogLevel level;
        std::string text;
    };

    void write(const LogRecord& record) override {
        entries_.push_back(Entry{std::string(record.category), record.level, record.text});
    }

    const std::vector<Entry>& entries() const { return entries_; }
    void clear() { entries_.clear(); }

    // True when some line has exactly this text.
    bool contains(std::string_view text) const;
    // Number of lines with exactly this text.
    std::size_t count(std::string_view text) const;
    // True when some line contains `fragment`.
    bool containsFragment(std::string_view fragment) const;
    // Every text, in order (handy in assertion messages).
    std::vector<std::string> texts() const;

  private:
    std::vector<Entry> entries_;
};

// Keeps every standard-output text.
class RecordingConsole final : public ConsoleOutput {
  public:
    void writeLine(std::string_view text) override { lines_.emplace_back(text); }
    const std::vector<std::string>& lines() const { return lines_; }
    bool contains(std::string_view text) const;
    void clear() { lines_.clear(); }

  private:
    std::vector<std::string> lines_;
};

}  // namespace ambleguard::sim
