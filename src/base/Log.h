#pragma once

#include <fmt/format.h>

#include <string>
#include <string_view>
#include <utility>

namespace ambleguard {

// The system log's levels; `notice` is the log's "default" level.
enum class LogLevel { debug, info, notice, error, fault };

std::string_view toString(LogLevel level);

inline constexpr std::string_view kLogSubsystem = "com.quillon.Ambleguard";

struct LogRecord {
    std::string_view subsystem;
    std::string_view category;
    LogLevel level;
    std::string text;
};

// Where log lines go (the system journal, standard error, a test's recorder).
class LogSink {
  public:
    virtual ~LogSink() = default;
    virtual void write(const LogRecord& record) = 0;
    // False when lines of `level` would be dropped anyway, so they need not be formatted.
    virtual bool accepts(LogLevel /*level*/) const { return true; }
};

// Discards everything; for objects built where nobody listens.
class NullLogSink final : public LogSink {
  public:
    void write(const LogRecord&) override {}
    bool accepts(LogLevel) const override { return false; }
};

// One component's log handle: a sink and a category. Texts are formatted with fmt.
class Logger {
  public:
    Logger(LogSink& sink, std::string_view category) : sink_(&sink), category_(category) {}

    std::string_view category() const { return category_; }

    void log(LogLevel level, std::string text) const {
        sink_->write(LogRecord{kLogSubsystem, category_, level, std::move(text)});
    }

    template <typename... Args>
    void debug(fmt::format_string<Args...> format, Args&&... args) const {
        if (!sink_->accepts(LogLevel::debug)) {
            return;
        }
        log(LogLevel::debug, fmt::format(format, std::forward<Args>(args)...));
    }
    template <typename... Args>
    void info(fmt::format_string<Args...> format, Args&&... args) const {
        if (!sink_->accepts(LogLevel::info)) {
            return;
        }
        log(LogLevel::info, fmt::format(format, std::forward<Args>(args)...));
    }
    template <typename... Args>
    void notice(fmt::format_string<Args...> format, Args&&... args) const {
        if (!sink_->accepts(LogLevel::notice)) {
            return;
        }
        log(LogLevel::notice, fmt::format(format, std::forward<Args>(args)...));
    }
    template <typename... Args>
    void error(fmt::format_string<Args...> format, Args&&... args) const {
        if (!sink_->accepts(LogLevel::error)) {
            return;
        }
        log(LogLevel::error, fmt::format(format, std::forward<Args>(args)...));
    }
    template <typename... Args>
    void fault(fmt::format_string<Args...> format, Args&&... args) const {
        if (!sink_->accepts(LogLevel::fault)) {
            return;
        }
        log(LogLevel::fault, fmt::format(format, std::forward<Args>(args)...));
    }

  private:
    LogSink* sink_;
    std::string_view category_;
};

// Renders a boolean the way the log texts show it.
inline std::string_view boolText(bool value) {
    return value ? "true" : "false";
}

}  // namespace ambleguard
