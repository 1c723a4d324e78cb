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

TEST(DisplayNameOrderTest, SingletonsAndMarksAcrossOtherMarksNormaliseAsUnicodeSays) {
    // The Kelvin, Ohm and Angstrom signs are canonically the letters they look like.
    EXPECT_EQ(displayNameSortKey("\u212Aettle"), U"Kettle");
    EXPECT_EQ(displayNameSortKey("\u2126"), U"\u03A9");
    EXPECT_EQ(displayNameSortKey("\u212B"), U"\u00C5");
    EXPECT_LT(displayNameSortKey("Jack"), displayNameSortKey("\u212Aettle"));
    EXPECT_LT(displayNameSortKey("\u212Aettle"), displayNameSortKey("Lamp"));
    // A mark of a lower class in between does not block the acute from joining its base, and
    // marks given out of canonical order come out in it.
    EXPECT_EQ(displayNameSortKey("a\u0316\u0301"), U"\u00E1\u0316");
    EXPECT_EQ(displayNameSortKey("a\u0301\u0316"), U"\u00E1\u0316");
    // Broken bytes keep one replacement each, and a NUL does not end the name.
    EXPECT_EQ(displayNameSortKey(std::string_view("e\xCC\x81\xFF\0x", 6)),
              std::u32string(U"\u00E9\uFFFD\0x", 4));
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
