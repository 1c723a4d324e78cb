#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace ambleguard {

// A wall-clock instant with microsecond resolution. Components receive instants from the Clock
// port and store them in the settings store as dates.
using Instant = std::chrono::sys_time<std::chrono::microseconds>;

// Seconds elapsed from `from` to `to` (negative when `to` is earlier).
double secondsBetween(Instant from, Instant to);

// Durations are limited to +/- this many seconds (about a century) before they are turned into
// microseconds, so an absurd stored value cannot overflow the arithmetic.
inline constexpr double kMaxDurationSeconds = 3.2e9;

// `seconds` as whole microseconds: rounded, limited to +/- kMaxDurationSeconds, 0 for NaN.
std::chrono::microseconds toMicroseconds(double seconds);

// How long to wait for a delay of `seconds`: 0 when not positive, otherwise whole microseconds
// not shorter than `seconds` (beyond the noise of double arithmetic), and at least one. Work
// deferred until a deadline re-checks the deadline when it runs; rounding a wait down would run
// it just before, where it would defer itself again at the same instant, for ever.
std::chrono::microseconds waitMicroseconds(double seconds);

// `at` moved by `seconds`, rounded to the nearest microsecond.
Instant addSeconds(Instant at, double seconds);

// Seconds since the Unix epoch as a double, and back.
double toEpochSeconds(Instant at);
Instant fromEpochSeconds(double seconds);

// ISO 8601 in UTC, e.g. "2026-12-06T08:17:23.125Z"; the fraction is omitted when zero and
// otherwise written without trailing zeros.
std::string formatIso8601(Instant at);

// Accepts "YYYY-MM-DDTHH:MM[:SS[.fraction]][Z|+HH:MM|-HH:MM|+HHMM]" (a space may replace the
// "T"). Without a zone the time is taken as UTC. Returns nothing for anything else.
std::optional<Instant> parseIso8601(std::string_view text);

}  // namespace ambleguard
