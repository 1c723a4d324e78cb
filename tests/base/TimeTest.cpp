#include "base/Time.h"

#include <gtest/gtest.h>

#include <limits>

namespace ambleguard {
namespace {

TEST(TimeTest, Iso8601RoundTripKeepsSubSecondPrecision) {
    auto at = parseIso8601("2026-12-06T08:17:23.125Z");
    ASSERT_TRUE(at);
    EXPECT_EQ(formatIso8601(*at), "2026-12-06T08:17:23.125Z");
    EXPECT_EQ(parseIso8601(formatIso8601(*at)), at);

    auto whole = parseIso8601("2026-12-06T08:17:23Z");
    ASSERT_TRUE(whole);
    EXPECT_EQ(formatIso8601(*whole), "2026-12-06T08:17:23Z");
    EXPECT_DOUBLE_EQ(secondsBetween(*whole, *at), 0.125);
}

TEST(TimeTest, ZonesAndDefaults) {
    EXPECT_EQ(parseIso8601("2026-12-06T09:17:23.5+01:00"), parseIso8601("2026-12-06T08:17:23.5Z"));
    EXPECT_EQ(parseIso8601("2026-12-06T03:47:23-0430"), parseIso8601("2026-12-06T08:17:23Z"));
    // No zone means UTC; seconds may be left out; a space may separate date and time.
    EXPECT_EQ(parseIso8601("2026-12-06 08:17"), parseIso8601("2026-12-06T08:17:00Z"));
    // More than microsecond precision rounds to the nearest microsecond.
    EXPECT_EQ(formatIso8601(*parseIso8601("2026-12-06T08:17:23.1234567Z")),
              "2026-12-06T08:17:23.123457Z");
}

TEST(TimeTest, RejectsMalformedDates) {
    for (const char* bad : {"", "2026-12-06", "2026-13-01T00:00Z", "2026-02-30T00:00Z",
                            "2026-12-06T24:00Z", "2026-12-06T08:17:23.Z", "2026-12-06T08:17Zjunk",
                            "yesterday", "2026-12-06T08:17:23+25:00"}) {
        EXPECT_FALSE(parseIso8601(bad)) << bad;
    }
}

TEST(TimeTest, SecondArithmeticRoundsToMicroseconds) {
    const Instant start = *parseIso8601("2026-01-01T00:00:00Z");
    EXPECT_EQ(formatIso8601(addSeconds(start, 1.5)), "2026-01-01T00:00:01.5Z");
    EXPECT_EQ(addSeconds(start, 0.1 + 0.2), addSeconds(start, 0.3));
    EXPECT_DOUBLE_EQ(secondsBetween(addSeconds(start, 3), start), -3.0);
    EXPECT_EQ(fromEpochSeconds(toEpochSeconds(start)), start);
}

TEST(TimeTest, AbsurdDurationsAreLimitedInsteadOfOverflowing) {
    const Instant start = *parseIso8601("2026-01-01T00:00:00Z");
    EXPECT_GT(addSeconds(start, 1e300), addSeconds(start, 1e9));
    EXPECT_LT(addSeconds(start, -1e300), start);
    EXPECT_EQ(addSeconds(start, std::numeric_limits<double>::infinity()),
              addSeconds(start, kMaxDurationSeconds));
    EXPECT_EQ(addSeconds(start, std::numeric_limits<double>::quiet_NaN()), start);
}

TEST(TimeTest, AWaitIsNeverShorterThanAskedAndWholeMicrosecondsStayExact) {
    using std::chrono::microseconds;
    EXPECT_EQ(waitMicroseconds(0.2), microseconds(200000));
    EXPECT_EQ(waitMicroseconds(0.1 + 0.2), microseconds(300000));  // 0.30000000000000004
    EXPECT_EQ(waitMicroseconds(200.0000004), microseconds(200000001));
    EXPECT_EQ(waitMicroseconds(4e-7), microseconds(1));
    EXPECT_EQ(waitMicroseconds(1e-300), microseconds(1));
    EXPECT_EQ(waitMicroseconds(0), microseconds(0));
    EXPECT_EQ(waitMicroseconds(-3), microseconds(0));
    EXPECT_EQ(waitMicroseconds(std::numeric_limits<double>::quiet_NaN()), microseconds(0));
    EXPECT_EQ(waitMicroseconds(1e300), toMicroseconds(kMaxDurationSeconds));
}

}  // namespace
}  // namespace ambleguard
