#include "base/TextEscaping.h"

#include <gtest/gtest.h>

namespace ambleguard {
namespace {

// A name with a right-to-left override would print "Phone" reversed after it, and an isolate
// could move the rest of the line; every bidirectional formatting character is escaped.
TEST(TextEscapingTest, BidirectionalControlsAreEscapedOtherTextIsKept) {
    const std::string hostile =
        "a\xE2\x80\xAE"
        "enohP\xE2\x81\xA6x\xE2\x81\xA9"
        "\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C\xE2\x80\xAA\xE2\x81\xA8";
    EXPECT_EQ(printable(hostile),
              "a\\u202eenohP\\u2066x\\u2069\\u200e\\u200f\\u061c\\u202a\\u2068");
    EXPECT_EQ(jsonString(hostile),
              "\"a\\u202eenohP\\u2066x\\u2069\\u200e\\u200f\\u061c\\u202a\\u2068\"");

    // Neighbours of those ranges, and right-to-left letters themselves, are ordinary text.
    const std::string ordinary =
        "\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA"
        "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD8\xB3\xD9\x84\xD8\xA7\xD9\x85";
    EXPECT_EQ(printable(ordinary), ordinary);
    EXPECT_EQ(jsonString(ordinary), "\"" + ordinary + "\"");
}

}  // namespace
}  // namespace ambleguard
