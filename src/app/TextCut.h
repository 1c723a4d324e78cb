#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ambleguard {

// `text` when it has at most `limit` characters, else its first `limit` characters followed by
// "...". A character is what the user sees as one (a grapheme cluster: an emoji with its
// modifiers, a letter with its accents), so a cut never splits one; invalid UTF-8 counts as
// one replacement character per bad byte.
std::string cutWithEllipsis(std::string_view text, std::size_t limit);

}  // namespace ambleguard
