#pragma once

#include "base/Log.h"
#include "platform/Clock.h"

#include <memory>

namespace ambleguard::linuxdesktop {

// Log lines to the systemd journal, with the category and level as fields of their own
// (AMBLEGUARD_CATEGORY, AMBLEGUARD_LEVEL) beside the usual priority, so
// `journalctl --user -t ambleguard AMBLEGUARD_CATEGORY=BT` picks one component. The journal
// drops lines silently when it is not running, so check available() first.
class JournalLogSink final : public LogSink {
  public:
    explicit JournalLogSink(LogLevel minimum) : minimum_(minimum) {}

    // Whether this machine's journal is there to receive lines.
    static bool available();

    void write(const LogRecord& record) override;
    bool accepts(LogLevel level) const override { return level >= minimum_; }

    // The journal priority of a level (syslog numbering).
    static int priority(LogLevel level);

  private:
    LogLevel minimum_;
};

// The program's log: standard error when it is a terminal (someone is watching) or when there
// is no journal, the journal otherwise (a session service, a desktop launch).
class DesktopLogSink final : public LogSink {
  public:
    DesktopLogSink(const Clock& clock, LogLevel minimum);
    ~DesktopLogSink() override;

    void write(const LogRecord& record) override { chosen_->write(record); }
    bool accepts(LogLevel level) const override { return chosen_->accepts(level); }

  private:
    std::unique_ptr<LogSink> stderr_;
    std::unique_ptr<LogSink> journal_;
    LogSink* chosen_;
};

}  // namespace ambleguard::linuxdesktop
