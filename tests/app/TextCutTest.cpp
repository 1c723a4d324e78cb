#include "app/TextCut.h"

#include <gtest/gtest.h>

namespace ambleguard {
namespace {

TEST(TextCut, CutsAfterTheLimitOnWholeCharacters) {
    EXPECT_EQ(cutWithEllipsis("abcde", 5), "abcde");
    EXPECT_EQ(cutWithEllipsis("abcdef", 5), "abcde...");
    EXPECT_EQ(cutWithEllipsis("", 5), "");
    // A family emoji (joined by zero-width joiners) and a letter with a combining accent each
    // count as one character and are never split.
    const std::string family =
        "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
    EXPECT_EQ(cutWithEllipsis(family + family + "x", 2), family + family + "...");
    EXPECT_EQ(cutWithEllipsis("e\xCC\x81"
                              "e\xCC\x81",
                              1),
              "e\xCC\x81...");
    // Arabic is cut by characters, not bytes.
    EXPECT_EQ(cutWithEllipsis("\xD9\x87\xD8\xA7\xD8\xAA\xD9\x81", 3),
              "\xD9\x87\xD8\xA7\xD8\xAA...");
}

TEST(TextCut, ReplacesBrokenBytesInsteadOfPassingThemOn) {
    EXPECT_EQ(cutWithEllipsis("a\xFF"
                              "b",
                              5),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(cutWithEllipsis("\xC3", 1), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace ambleguard
