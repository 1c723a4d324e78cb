#include "cli/ReplayTrace.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>

namespace ambleguard::cli {

namespace {

// Times far beyond a human lifetime would overflow the virtual clock.
constexpr double kMaxTraceTime = 1e9;

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

template <typename T>
bool parseWhole(std::string_view text, T& value) {
    if (text.empty()) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

TraceLineParser::Parsed TraceLineParser::parseLine(std::string_view line) {
    ++lineNumber_;
    if (line.size() > kMaxLineLength) {
        return failure(
            TraceError{lineNumber_, fmt::format("longer than {} characters", kMaxLineLength)});
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    line = trim(line);
    if (line.empty() || line.front() == '#') {
        return Parsed(std::nullopt);
    }
    const bool firstContent = !seenContent_;
    seenContent_ = true;

    const auto comma = line.find(',');
    const std::string_view tText = trim(line.substr(0, comma));
    const std::string_view rssiText =
        comma == std::string_view::npos ? std::string_view() : trim(line.substr(comma + 1));
    if (firstContent && tText == "t" && rssiText == "rssi") {
        return Parsed(std::nullopt);
    }
    if (comma == std::string_view::npos || rssiText.find(',') != std::string_view::npos) {
        return failure(
            TraceError{lineNumber_, fmt::format("expected \"t,rssi\", got \"{}\"", line)});
    }
    double t = 0;
    if (!parseWhole(tText, t) || !std::isfinite(t) || std::fabs(t) > kMaxTraceTime) {
        return failure(
            TraceError{lineNumber_, fmt::format("time \"{}\" is not a number of seconds", tText)});
    }
    int rssi = 0;
    // RSSI is a signed byte on the radio; anything else cannot have been recorded.
    if (!parseWhole(rssiText, rssi) || rssi < -128 || rssi > 127) {
        return failure(TraceError{
            lineNumber_,
            fmt::format("rssi \"{}\" is not a whole number of dBm from -128 to 127", rssiText)});
    }
    if (lastTime_ && t < *lastTime_) {
        return failure(TraceError{
            lineNumber_,
            fmt::format("time {} is earlier than the line before ({})", tText, *lastTime_)});
    }
    lastTime_ = t;
    return Parsed(TraceReading{t, rssi});
}

Result<ReplayTrace, TraceError> ReplayTrace::parse(std::string_view text) {
    ReplayTrace trace;
    TraceLineParser parser;
    std::size_t position = 0;
    while (position < text.size()) {
        const auto newline = text.find('\n', position);
        const std::string_view line =
            text.substr(position, newline == std::string_view::npos ? std::string_view::npos
                                                                    : newline - position);
        position = newline == std::string_view::npos ? text.size() : newline + 1;
        auto parsed = parser.parseLine(line);
        if (!parsed) {
            return failure(parsed.error());
        }
        if (const auto& reading = parsed.value()) {
            trace.readings.push_back(*reading);
        }
    }
    return trace;
}

}  // namespace ambleguard::cli
