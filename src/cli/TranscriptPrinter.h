#pragma once

#include "base/TextEscaping.h"

#include "cli/Transcript.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace ambleguard::cli {

// Writes a run's entries as aligned text columns or as one JSON object per line. Texts are made
// safe to print: control characters are escaped and broken UTF-8 is replaced, since device
// names and shortcut output come from outside.
class TranscriptPrinter final : public TranscriptSink {
  public:
    enum class Format { text, json };

    // Log lines below `minLevel` are left out; nothing at all is logged without a level.
    TranscriptPrinter(std::FILE* out, Format format, std::optional<LogLevel> minLevel);

    void entry(const TranscriptEntry& entry) override;
    bool wantsLog(LogLevel level) const override;

    // The forms of one entry, without the line break.
    static std::string textLine(const TranscriptEntry& entry);
    static std::string jsonLine(const TranscriptEntry& entry);

  private:
    std::FILE* out_;
    Format format_;
    std::optional<LogLevel> minLevel_;
};

// Seconds with three decimals, never "-0.000".
std::string formatSeconds(double seconds);

// "debug", "info", "default" (or "notice"), "error", "fault".
std::optional<LogLevel> parseLogLevel(std::string_view name);

}  // namespace ambleguard::cli
