#include "platform/linux/JournalLogSink.h"

#include "base/TextEscaping.h"
#include "platform/posix/StreamSinks.h"

#include <systemd/sd-journal.h>
#include <unistd.h>

#include <string>

namespace ambleguard::linuxdesktop {

int JournalLogSink::priority(LogLevel level) {
    switch (level) {
        case LogLevel::debug:
            return 7;
        case LogLevel::info:
            return 6;
        case LogLevel::notice:
            return 5;
        case LogLevel::error:
            return 3;
        case LogLevel::fault:
            break;
    }
    return 2;
}

void JournalLogSink::write(const LogRecord& record) {
    if (record.level < minimum_) {
        return;
    }
    // Control and bidirectional characters from outside would reach whoever reads the journal.
    const std::string text = printable(record.text);
    const std::string category(record.category);
    const std::string level(toString(record.level));
    // "%s" everywhere: the texts come from outside (device names) and must not be formats.
    sd_journal_send("MESSAGE=%s", text.c_str(), "PRIORITY=%i", priority(record.level),
                    "SYSLOG_IDENTIFIER=%s", "ambleguard", "AMBLEGUARD_CATEGORY=%s",
                    category.c_str(), "AMBLEGUARD_LEVEL=%s", level.c_str(), nullptr);
}

bool JournalLogSink::available() {
    return ::access("/run/systemd/journal/socket", W_OK) == 0;
}

DesktopLogSink::DesktopLogSink(const Clock& clock, LogLevel minimum)
    : stderr_(std::make_unique<posix::StderrLogSink>(clock, minimum)) {
    if (::isatty(STDERR_FILENO) == 1 || !JournalLogSink::available()) {
        chosen_ = stderr_.get();
    } else {
        journal_ = std::make_unique<JournalLogSink>(minimum);
        chosen_ = journal_.get();
    }
}

DesktopLogSink::~DesktopLogSink() = default;

}  // namespace ambleguard::linuxdesktop
