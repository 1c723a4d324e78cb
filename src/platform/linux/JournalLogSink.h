#pragma once

#include "base/Log.h"
#include "platform/Clock.h"

#include <memory>

namespace ambleguard::linuxdesktop {

// Log lines to the systemd journal, with the category and level as fields of their own
// (AMBLEGUARD_CATEGORY, AMBLEGUARD_LEVEL) beside the usual priority, so
// `journalctl --user -t ambleguard AMBLEGUARD_CATEGORY=BT` picks one component. A line the
// journal refuses (no journal on this machine) goes to `fallback` instead.
class JournalLogSink final : public LogSink {
  public:
    JournalLogSink(LogLevel minimum, LogSink& fallback) : minimum_(minimum), fallback_(fallback) {}

    void write(const LogRecord& record) override;
    bool accepts(LogLevel level) const override { return level >= minimum_; }

    // The journal priority of a level (syslog numbering).
    static int priority(LogLevel level);

  private:
    LogLevel minimum_;
    LogSink& fallback_;
};

// The program's log: standard error when it is a terminal (someone is watching), the journal
// otherwise (a session service, a desktop launch).
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
