#include "base/Sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace ambleguard {
namespace {

// The published test vectors, including the two-block message and one that ends exactly where
// the length no longer fits in the first block.
TEST(Sha256, MatchesTheStandardsTestVectors) {
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(sha256Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(sha256Hex(std::string(55, 'x')).size(), 64U);
    EXPECT_NE(sha256Hex(std::string(55, 'x')), sha256Hex(std::string(56, 'x')));
}

}  // namespace
}  // namespace ambleguard
