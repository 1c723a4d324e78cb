#include "base/Time.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace ambleguard {

using std::chrono::microseconds;

double secondsBetween(Instant from, Instant to) {
    return static_cast<double>((to - from).count()) / 1e6;
}

microseconds toMicroseconds(double seconds) {
    if (std::isnan(seconds)) {
        return microseconds(0);
    }
    const double limited = std::clamp(seconds, -kMaxDurationSeconds, kMaxDurationSeconds);
    return microseconds(static_cast<long long>(std::llround(limited * 1e6)));
}

microseconds waitMicroseconds(double seconds) {
    if (!(seconds > 0)) {
        return microseconds(0);
    }
    microseconds wait = toMicroseconds(seconds);
    // A remainder below a microsecond rounds up. A shortfall within a nanosecond is the noise of
    // double arithmetic (0.1 + 0.2), not a remainder, so such a wait keeps its nearest count.
    const double shortfall =
        std::min(seconds, kMaxDurationSeconds) - static_cast<double>(wait.count()) / 1e6;
    if (shortfall > 1e-9) {
        ++wait;
    }
    return std::max(wait, microseconds(1));
}

Instant addSeconds(Instant at, double seconds) {
    return at + toMicroseconds(seconds);
}

double toEpochSeconds(Instant at) {
    return static_cast<double>(at.time_since_epoch().count()) / 1e6;
}

Instant fromEpochSeconds(double seconds) {
    if (std::isnan(seconds)) {
        return Instant(microseconds(0));
    }
    const double limited = std::clamp(seconds, -9.2e12, 9.2e12);
    return Instant(microseconds(static_cast<long long>(std::llround(limited * 1e6))));
}

std::string formatIso8601(Instant at) {
    const auto day = std::chrono::floor<std::chrono::days>(at);
    const std::chrono::year_month_day ymd(day);
    const std::chrono::hh_mm_ss hms(at - day);
    std::string text =
        fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", static_cast<int>(ymd.year()),
                    static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                    hms.hours().count(), hms.minutes().count(), hms.seconds().count());
    long long fraction = hms.subseconds().count();
    if (fraction != 0) {
        std::string digits = fmt::format("{:06}", fraction);
        while (!digits.empty() && digits.back() == '0') {
            digits.pop_back();
        }
        text += "." + digits;
    }
    return text + "Z";
}

namespace {

class Cursor {
  public:
    explicit Cursor(std::string_view text) : text_(text) {}
    bool atEnd() const { return pos_ == text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    bool accept(char c) {
        if (peek() == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    // Reads exactly `count` digits.
    std::optional<int> digits(int count) {
        int value = 0;
        for (int i = 0; i < count; ++i) {
            if (atEnd() || !std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
                return std::nullopt;
            }
            value = value * 10 + (text_[pos_++] - '0');
        }
        return value;
    }
    // Reads a run of one or more digits as a fraction of a second, in microseconds.
    std::optional<long long> fraction() {
        std::string digits;
        while (!atEnd() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
            digits += text_[pos_++];
        }
        if (digits.empty()) {
            return std::nullopt;
        }
        // Round to the nearest microsecond using the seventh digit.
        bool roundUp = digits.size() > 6 && digits[6] >= '5';
        digits.resize(6, '0');
        return std::stoll(digits) + (roundUp ? 1 : 0);
    }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

std::optional<Instant> parseIso8601(std::string_view text) {
    Cursor in(text);
    auto year = in.digits(4);
    if (!year || !in.accept('-'))
        return std::nullopt;
    auto month = in.digits(2);
    if (!month || !in.accept('-'))
        return std::nullopt;
    auto dayOfMonth = in.digits(2);
    if (!dayOfMonth || !(in.accept('T') || in.accept('t') || in.accept(' ')))
        return std::nullopt;
    auto hour = in.digits(2);
    if (!hour || !in.accept(':'))
        return std::nullopt;
    auto minute = in.digits(2);
    if (!minute)
        return std::nullopt;
    int second = 0;
    long long micros = 0;
    if (in.accept(':')) {
        auto s = in.digits(2);
        if (!s)
            return std::nullopt;
        second = *s;
        if (in.accept('.') || in.accept(',')) {
            auto f = in.fraction();
            if (!f)
                return std::nullopt;
            micros = *f;
        }
    }
    int offsetMinutes = 0;
    if (in.accept('Z') || in.accept('z')) {
        // UTC
    } else if (in.peek() == '+' || in.peek() == '-') {
        int sign = in.accept('-') ? -1 : (in.accept('+'), 1);
        auto oh = in.digits(2);
        if (!oh)
            return std::nullopt;
        in.accept(':');
        auto om = in.digits(2);
        if (!om || *oh > 23 || *om > 59)
            return std::nullopt;
        offsetMinutes = sign * (*oh * 60 + *om);
    }
    if (!in.atEnd())
        return std::nullopt;

    const std::chrono::year_month_day ymd{std::chrono::year(*year),
                                          std::chrono::month(static_cast<unsigned>(*month)),
                                          std::chrono::day(static_cast<unsigned>(*dayOfMonth))};
    if (!ymd.ok() || *hour > 23 || *minute > 59 || second > 60) {
        return std::nullopt;
    }
    auto at = std::chrono::sys_days(ymd) + std::chrono::hours(*hour) +
              std::chrono::minutes(*minute) + std::chrono::seconds(second) + microseconds(micros) -
              std::chrono::minutes(offsetMinutes);
    return Instant(at);
}

}  // namespace ambleguard
