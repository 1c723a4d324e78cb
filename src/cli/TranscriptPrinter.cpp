#include "cli/TranscriptPrinter.h"

#include <fmt/format.h>

#include <algorithm>

namespace ambleguard::cli {

namespace {

constexpr int kCategoryWidth = 14;
constexpr int kLevelWidth = 7;

}  // namespace

std::string formatSeconds(double seconds) {
    std::string text = fmt::format("{:.3f}", seconds);
    if (text == "-0.000") {
        text.erase(0, 1);
    }
    return text;
}

std::optional<LogLevel> parseLogLevel(std::string_view name) {
    for (auto level :
         {LogLevel::debug, LogLevel::info, LogLevel::notice, LogLevel::error, LogLevel::fault}) {
        if (name == toString(level)) {
            return level;
        }
    }
    if (name == "notice") {
        return LogLevel::notice;
    }
    return std::nullopt;
}

TranscriptPrinter::TranscriptPrinter(std::FILE* out, Format format,
                                     std::optional<LogLevel> minLevel)
    : out_(out), format_(format), minLevel_(minLevel) {}

bool TranscriptPrinter::wantsLog(LogLevel level) const {
    return minLevel_ && level >= *minLevel_;
}

void TranscriptPrinter::entry(const TranscriptEntry& entry) {
    if (entry.kind == TranscriptEntry::Kind::log && !wantsLog(entry.level)) {
        return;
    }
    std::string line = format_ == Format::json ? jsonLine(entry) : textLine(entry);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out_);
}

std::string TranscriptPrinter::textLine(const TranscriptEntry& entry) {
    using Kind = TranscriptEntry::Kind;
    std::string_view source;
    std::string_view level;
    switch (entry.kind) {
        case Kind::log:
            source = entry.category;
            level = toString(entry.level);
            break;
        case Kind::output:
            source = "stdout";
            break;
        case Kind::action:
            source = "action";
            break;
        case Kind::event:
            source = "scenario";
            break;
    }
    return fmt::format("{:>10}  {:<{}} {:<{}} {}", formatSeconds(entry.t), printable(source),
                       kCategoryWidth, level, kLevelWidth, printable(entry.text));
}

std::string TranscriptPrinter::jsonLine(const TranscriptEntry& entry) {
    using Kind = TranscriptEntry::Kind;
    std::string line = "{\"t\":" + formatSeconds(entry.t);
    switch (entry.kind) {
        case Kind::log:
            line += ",\"category\":" + jsonString(entry.category) +
                    ",\"level\":" + jsonString(toString(entry.level)) +
                    ",\"text\":" + jsonString(entry.text);
            break;
        case Kind::output:
            line += ",\"stdout\":" + jsonString(entry.text);
            break;
        case Kind::action:
        case Kind::event:
            line += entry.kind == Kind::action ? ",\"action\":" : ",\"event\":";
            line += jsonString(entry.name);
            // Appended piece by piece: g++ 12 at -O3 warns falsely (-Wrestrict) about
            // "," + std::string.
            for (const auto& [key, value] : entry.fields) {
                line += ',';
                line += jsonString(key);
                line += ':';
                line += jsonString(value);
            }
            for (const auto& [key, count] : entry.counts) {
                line += ',';
                line += jsonString(key);
                line += ':';
                line += std::to_string(count);
            }
            break;
    }
    line += "}";
    return line;
}

}  // namespace ambleguard::cli
