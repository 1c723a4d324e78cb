#include "unlock/PasswordText.h"

#include <gtest/gtest.h>

#include <string>

namespace ambleguard {
namespace {

std::vector<std::size_t> sizes(const std::vector<UnitRange>& ranges) {
    std::vector<std::size_t> out;
    for (const auto& r : ranges) {
        out.push_back(r.size());
    }
    return out;
}

std::vector<std::size_t> fragmentSizes(std::u16string_view units) {
    return sizes(passwordFragments(units));
}

TEST(PasswordFragments, SplitsIntoThreeNearlyEqualParts) {
    EXPECT_EQ(fragmentSizes(u"abcdefghij"), (std::vector<std::size_t>{4, 3, 3}));
    EXPECT_EQ(fragmentSizes(u"abcd"), (std::vector<std::size_t>{2, 1, 1}));
    EXPECT_EQ(fragmentSizes(u"abcdefghijklmnopqrstuvw"), (std::vector<std::size_t>{8, 8, 7}));
    EXPECT_EQ(fragmentSizes(u"ab"), (std::vector<std::size_t>{1, 1}));
    EXPECT_EQ(fragmentSizes(u"a"), (std::vector<std::size_t>{1}));
    EXPECT_TRUE(fragmentSizes(u"").empty());
}

TEST(PasswordFragments, NeverCutsASurrogatePair) {
    // A letter, an emoji and a letter: the first cut would fall inside the emoji.
    const std::u16string units = u"a\U0001F40Eb";
    ASSERT_EQ(units.size(), 4u);
    EXPECT_EQ(fragmentSizes(units), (std::vector<std::size_t>{3, 1}));

    // Emoji at every position of a longer password: every fragment starts on a whole character.
    for (std::size_t at = 0; at + 2 <= 23; ++at) {
        std::u16string p(21, u'x');
        p.insert(at, u"\U0001F600");
        std::size_t covered = 0;
        for (const auto& f : passwordFragments(p)) {
            EXPECT_EQ(f.begin, covered);
            EXPECT_FALSE((p[f.begin] & 0xFC00) == 0xDC00) << "fragment starts with a low half";
            covered = f.end;
        }
        EXPECT_EQ(covered, p.size());
    }
}

TEST(KeystrokeRuns, AtMostTwentyUnitsAndNoHalfCharacters) {
    const std::u16string plain(45, u'x');
    EXPECT_EQ(sizes(keystrokeRuns({0, 45}, 20, plain)), (std::vector<std::size_t>{20, 20, 5}));
    EXPECT_EQ(sizes(keystrokeRuns({5, 25}, 20, plain)), (std::vector<std::size_t>{20}));

    // An emoji at units 19-20 would be cut by a run of 20: that run ends one unit early.
    std::u16string p(19, u'x');
    p += u"\U0001F600";
    p += u"yz";
    EXPECT_EQ(sizes(keystrokeRuns({0, p.size()}, 20, p)), (std::vector<std::size_t>{19, 4}));
}

TEST(Utf16, ConvertsValidTextAndRefusesBrokenText) {
    const auto units = toUtf16("a\xC3\xA9\xF0\x9F\x90\x8E");  // a, e acute, horse
    ASSERT_TRUE(units);
    EXPECT_EQ(units->view(), std::u16string_view(u"a\u00E9\U0001F40E"));
    EXPECT_FALSE(toUtf16("\xC3"));              // cut short
    EXPECT_FALSE(toUtf16("\xC0\xAF"));          // overlong
    EXPECT_FALSE(toUtf16("\xED\xA0\x80"));      // a surrogate code point
    EXPECT_FALSE(toUtf16("\xF4\x90\x80\x80"));  // past the last plane
    EXPECT_EQ(characterCount("a\xC3\xA9\xF0\x9F\x90\x8E"), 3u);
}

}  // namespace
}  // namespace ambleguard
