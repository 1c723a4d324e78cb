#include "platform/posix/BoundedCapture.h"

#include <gtest/gtest.h>

#include <string>

namespace ambleguard::posix {
namespace {

TEST(BoundedCaptureTest, KeepsEverythingUpToTheLimitsAndOnlyTheEndsBeyond) {
    BoundedCapture small(4, 3);
    small.append("abc");
    small.append("def");
    EXPECT_EQ(small.text(), "abcdef");  // head and tail together hold it all
    EXPECT_EQ(small.droppedBytes(), 0u);

    small.append("g");
    EXPECT_EQ(small.text(), "abcdefg");  // exactly full
    small.append("h");
    EXPECT_EQ(small.text(), "abcd\n[... 1 bytes left out ...]\nfgh");

    // Pieces of every size, across the ring's wrap point and larger than the whole tail.
    BoundedCapture capture(4, 3);
    std::string all;
    for (std::string piece : {"ab", "cdefg", "h", "ij", "klmnopqrstuvwxyz", "0", "12"}) {
        capture.append(piece);
        all += piece;
    }
    EXPECT_EQ(capture.droppedBytes(), all.size() - 7);
    EXPECT_EQ(capture.text(),
              "abcd\n[... " + std::to_string(all.size() - 7) + " bytes left out ...]\n012");
}

TEST(BoundedCaptureTest, ATailOfNothingKeepsOnlyTheStart) {
    BoundedCapture capture(2, 0);
    capture.append("hello");
    EXPECT_EQ(capture.text(), "he\n[... 3 bytes left out ...]\n");
}

// Output that is text must stay text: the shortcut's log shows only valid UTF-8.
TEST(BoundedCaptureTest, CutsNeverSplitACharacter) {
    // "€" is three bytes: a head of 4 ends one byte into the second, a tail of 4 starts two
    // bytes into a character.
    BoundedCapture capture(4, 4);
    for (int i = 0; i < 10; ++i) {
        capture.append("\xE2\x82\xAC");
    }
    EXPECT_EQ(capture.text(), "\xE2\x82\xAC\n[... 24 bytes left out ...]\n\xE2\x82\xAC");

    // A four-byte character cut in the head; ASCII around it is kept as it was.
    BoundedCapture emoji(3, 2);
    emoji.append(
        "a\xF0\x9F\x98\x80"
        "bcdef");
    EXPECT_EQ(emoji.text(), "a\n[... 7 bytes left out ...]\nef");
}

}  // namespace
}  // namespace ambleguard::posix
