#include "base/JsonNesting.h"

#include <gtest/gtest.h>

#include <string>

namespace ambleguard {
namespace {

TEST(JsonNestingTest, CountsArraysAndObjectsButNotBracketsInStrings) {
    EXPECT_TRUE(jsonNestingWithin(R"({"a": [1, {"b": [2]}]})", 4));
    EXPECT_FALSE(jsonNestingWithin(R"({"a": [1, {"b": [2]}]})", 3));
    // Closed levels free their depth again.
    EXPECT_TRUE(jsonNestingWithin("[[[]]] [[[]]] {{{}}}", 3));
    // Brackets inside strings, also after escaped quotes and backslashes, are text.
    EXPECT_TRUE(jsonNestingWithin(R"(["[[[[\"[[[[", "\\", "{{{{"])", 1));
    EXPECT_FALSE(jsonNestingWithin(R"(["\\", [[]]])", 2));

    const std::size_t deep = 70000;
    EXPECT_FALSE(jsonNestingWithin(std::string(deep, '[') + std::string(deep, ']')));
    EXPECT_TRUE(jsonNestingWithin(std::string(kMaxJsonNesting, '{')));
    // Stray closing brackets never make room for deeper nesting.
    EXPECT_FALSE(jsonNestingWithin("]]]]" + std::string(kMaxJsonNesting + 1, '[')));
}

}  // namespace
}  // namespace ambleguard
