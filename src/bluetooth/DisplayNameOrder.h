#pragma once

#include <string>
#include <string_view>

namespace ambleguard {

// The key by which device names are ordered in the device list: the name's Unicode scalar
// values in canonical composed form (NFC), so "e" + U+0301 sorts exactly like "é", the Kelvin
// sign like "K" and a mark after an unrelated mark still joins its base. Bytes that are not
// valid UTF-8 become U+FFFD, one per byte, so any name gets a key.
std::u32string displayNameSortKey(std::string_view utf8);

// Decodes UTF-8 as above, without normalising.
std::u32string decodeUtf8Lossy(std::string_view utf8);

}  // namespace ambleguard
