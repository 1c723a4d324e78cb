#include "base/Uuid.h"

#include <gtest/gtest.h>

#include <unordered_set>

namespace ambleguard {
namespace {

TEST(UuidTest, ParsesEitherCaseAndPrintsUpperCase) {
    const auto lower = Uuid::parse("0f8e2a3c-91b4-4c7d-a5e6-1234567890ab");
    const auto upper = Uuid::parse("0F8E2A3C-91B4-4C7D-A5E6-1234567890AB");
    ASSERT_TRUE(lower && upper);
    EXPECT_EQ(*lower, *upper);
    EXPECT_EQ(lower->toString(), "0F8E2A3C-91B4-4C7D-A5E6-1234567890AB");
    EXPECT_EQ(lower->bytes()[0], 0x0F);
    EXPECT_EQ(lower->bytes()[15], 0xAB);
    EXPECT_EQ(Uuid::parse(lower->toString()), lower);
}

TEST(UuidTest, RejectsEveryOtherShape) {
    for (const char* text : {
             "",
             "0F8E2A3C91B44C7DA5E61234567890AB",        // no hyphens
             "{0F8E2A3C-91B4-4C7D-A5E6-1234567890AB}",  // braces
             " 0F8E2A3C-91B4-4C7D-A5E6-1234567890AB",   // leading space
             "0F8E2A3C-91B4-4C7D-A5E6-1234567890A",     // short
             "0F8E2A3C-91B4-4C7D-A5E6-1234567890ABC",   // long
             "0F8E2A3-C91B4-4C7D-A5E6-1234567890AB",    // hyphen moved
             "0G8E2A3C-91B4-4C7D-A5E6-1234567890AB",    // not hex
             "0F8E2A3C-91B4-4C7D-A5E6+1234567890AB",
         }) {
        EXPECT_FALSE(Uuid::parse(text).has_value()) << text;
    }
}

TEST(UuidTest, WorksAsAKeyAndOrdersByBytes) {
    const Uuid a = Uuid::fromHalves(1, 2);
    const Uuid b = Uuid::fromHalves(1, 3);
    EXPECT_EQ(a.toString(), "00000000-0000-0001-0000-000000000002");
    EXPECT_LT(a, b);
    std::unordered_set<Uuid> set{a, b, Uuid::fromHalves(1, 2)};
    EXPECT_EQ(set.size(), 2u);
    EXPECT_TRUE(Uuid().isNil());
    EXPECT_FALSE(a.isNil());
}

}  // namespace
}  // namespace ambleguard
