#include "cli/TranscriptPrinter.h"

#include <fmt/format.h>

#include <algorithm>

namespace ambleguard::cli {

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Decodes the code point at `text[i]`: the value and its length in bytes, or kInvalid and 1 for
// a byte that does not start a well-formed sequence (overlong forms and surrogates included).
std::pair<char32_t, std::size_t> decode(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return {kInvalid, 1};
    }
    if (i + length > text.size()) {
        return {kInvalid, 1};
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return {kInvalid, 1};
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return {kInvalid, 1};
    }
    return {cp, length};
}

bool plainAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b >= 0x20 && b < 0x7F;
    });
}

bool isControl(char32_t cp) {
    return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F);
}

constexpr int kCategoryWidth = 14;
constexpr int kLevelWidth = 7;

}  // namespace

std::string printable(std::string_view text) {
    if (plainAscii(text)) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size();) {
        const auto [cp, length] = decode(text, i);
        if (cp == kInvalid) {
            out += kReplacement;
        } else if (cp == '\n') {
            out += "\\n";
        } else if (cp == '\t') {
            out += "\\t";
        } else if (cp == '\r') {
            out += "\\r";
        } else if (cp < 0x80 && isControl(cp)) {
            out += fmt::format("\\x{:02x}", static_cast<unsigned>(cp));
        } else if (isControl(cp)) {
            out += fmt::format("\\u{:04x}", static_cast<unsigned>(cp));
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size();) {
        const auto [cp, length] = decode(text, i);
        if (cp == kInvalid) {
            out += kReplacement;
        } else if (cp == '"' || cp == '\\') {
            out += '\\';
            out += static_cast<char>(cp);
        } else if (cp == '\n') {
            out += "\\n";
        } else if (cp == '\t') {
            out += "\\t";
        } else if (cp == '\r') {
            out += "\\r";
        } else if (isControl(cp)) {
            out += fmt::format("\\u{:04x}", static_cast<unsigned>(cp));
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    out += '"';
    return out;
}

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
            for (const auto& [key, value] : entry.fields) {
                line += "," + jsonString(key) + ":" + jsonString(value);
            }
            break;
    }
    line += "}";
    return line;
}

}  // namespace ambleguard::cli
