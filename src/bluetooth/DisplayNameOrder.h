#pragma once

#include <string>
#include <string_view>

namespace ambleguard {

// The key by which device names are ordered in the device list: the name's Unicode scalar
// values with decomposed sequences composed, so "e" + U+0301 sorts exactly like "é".
//
// This is the composition half of canonical normalisation only: adjacent pairs that Unicode
// composes are joined (including Hangul syllables), which turns the decomposed text that some
// devices send into the precomposed form most send. Singleton mappings and the reordering of
// several combining marks are not applied; names needing them are rare enough that a slightly
// different position in a list is the only effect. Bytes that are not valid UTF-8 become
// U+FFFD, one per byte, so any name gets a key.
std::u32string displayNameSortKey(std::string_view utf8);

// Decodes UTF-8 as above, without composing.
std::u32string decodeUtf8Lossy(std::string_view utf8);

// Joins every adjacent pair that canonical composition joins.
std::u32string composeCanonically(std::u32string_view text);

}  // namespace ambleguard
