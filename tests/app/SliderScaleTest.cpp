#include "app/SliderScale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ambleguard {
namespace {

constexpr SliderScale kCooldown{1, 180, 1};
constexpr SliderScale kIdle{5, 120, 5};
constexpr SliderScale kVolume{0, 1, 0.05};

// Values written elsewhere (a stored 0 cooldown, a huge threshold, a non-number) show at the
// nearest end instead of off the track.
TEST(SliderScale, StoredValuesOutsideTheRangeShowAtItsEnds) {
    EXPECT_EQ(kCooldown.positionFor(0), 0);
    EXPECT_EQ(kCooldown.valueAt(kCooldown.positionFor(0)), 1);
    EXPECT_EQ(kCooldown.positionFor(-20), 0);
    EXPECT_EQ(kCooldown.positionFor(1e12), kCooldown.positions());
    EXPECT_EQ(kCooldown.positionFor(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(kIdle.positionFor(7), 0);  // 7 is nearer to 5 than to 10
    EXPECT_EQ(kIdle.positionFor(8), 1);
    EXPECT_EQ(kVolume.positionFor(1.7), 20);
}

// Whatever position the widget reports, only values of the range, on its steps, are written.
TEST(SliderScale, EveryPositionMapsToAValueOfTheRangeOnItsStep) {
    for (const SliderScale& scale : {kCooldown, kIdle, kVolume}) {
        for (int position = -3; position <= scale.positions() + 3; ++position) {
            const double value = scale.valueAt(position);
            EXPECT_GE(value, scale.minimum);
            EXPECT_LE(value, scale.maximum);
            EXPECT_EQ(scale.positionFor(value), std::clamp(position, 0, scale.positions()));
        }
    }
    EXPECT_EQ(kIdle.positions(), 23);
    EXPECT_EQ(kIdle.valueAt(kIdle.positions()), 120);
    // Decimal steps store the decimal a user would expect to read back.
    EXPECT_EQ(kVolume.valueAt(7), 0.35);
    EXPECT_EQ(kVolume.valueAt(8), 0.4);
}

}  // namespace
}  // namespace ambleguard
