#include "platform/posix/StreamSinks.h"

#include "base/TextEscaping.h"

#include <fmt/format.h>

namespace ambleguard::posix {

void StderrLogSink::write(const LogRecord& record) {
    if (record.level < minimum_) {
        return;
    }
    const auto at = clock_.localTimeOfDay(clock_.now());
    const auto millis = (clock_.now().time_since_epoch().count() / 1000) % 1000;
    std::lock_guard lock(mutex_);
    fmt::print(stderr, "{:02}:{:02}:{:02}.{:03} [{}] {}: {}\n", at.hour, at.minute, at.second,
               millis, record.category, toString(record.level), printable(record.text));
}

void StdoutConsole::writeLine(std::string_view text) {
    std::lock_guard lock(mutex_);
    fmt::print(stdout, "{}\n", printable(text));
    std::fflush(stdout);
}

}  // namespace ambleguard::posix
