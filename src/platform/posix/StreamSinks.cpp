#include "platform/posix/StreamSinks.h"

#include <fmt/format.h>

namespace ambleguard::posix {

namespace {

// Texts carry outside input (device names); a control character must not start a fake line.
std::string escapedControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            out += fmt::format("\\x{:02x}", byte);
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

void StderrLogSink::write(const LogRecord& record) {
    if (record.level < minimum_) {
        return;
    }
    const auto at = clock_.localTimeOfDay(clock_.now());
    const auto millis = (clock_.now().time_since_epoch().count() / 1000) % 1000;
    std::lock_guard lock(mutex_);
    fmt::print(stderr, "{:02}:{:02}:{:02}.{:03} [{}] {}: {}\n", at.hour, at.minute, at.second,
               millis, record.category, toString(record.level), escapedControls(record.text));
}

void StdoutConsole::writeLine(std::string_view text) {
    std::lock_guard lock(mutex_);
    fmt::print(stdout, "{}\n", text);
    std::fflush(stdout);
}

}  // namespace ambleguard::posix
