#include "bluetooth/DisplayNameOrder.h"

#include <gtest/gtest.h>

namespace ambleguard {
namespace {

TEST(DisplayNameOrderTest, DecomposedAndPrecomposedNamesGetTheSameKey) {
    EXPECT_EQ(displayNameSortKey("E\u0301mile"), displayNameSortKey("\u00C9mile"));
    EXPECT_EQ(displayNameSortKey("E\u0301mile"), U"\u00C9mile");
    // Marks compose one after the other: a + dot below + circumflex.
    EXPECT_EQ(displayNameSortKey("a\u0323\u0302"), U"\u1EAD");
    // Hangul jamo compose into syllables.
    EXPECT_EQ(displayNameSortKey("\u1112\u1161\u11AB"), U"\uD55C");
    // Case is kept: upper case sorts before lower case.
    EXPECT_LT(displayNameSortKey("Zed"), displayNameSortKey("alpha"));
}

TEST(DisplayNameOrderTest, InvalidUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(decodeUtf8Lossy("a\xFF"
                              "b"),
              U"a\uFFFDb");
    EXPECT_EQ(decodeUtf8Lossy("\xC0\xAF"), U"\uFFFD\uFFFD");            // overlong
    EXPECT_EQ(decodeUtf8Lossy("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD");  // surrogate
    EXPECT_EQ(decodeUtf8Lossy("\xE2\x82"), U"\uFFFD\uFFFD");            // truncated
    EXPECT_EQ(decodeUtf8Lossy("\xF0\x9F\x93\xB1"), U"\U0001F4F1");
    EXPECT_EQ(decodeUtf8Lossy(std::string_view("\0x", 2)), std::u32string(U"\0x", 2));
}

}  // namespace
}  // namespace ambleguard
