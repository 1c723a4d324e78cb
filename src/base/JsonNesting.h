#pragma once

#include <cstddef>
#include <string_view>

namespace ambleguard {

// Files from outside (settings, scenarios) are parsed into trees that later code copies, prints
// and compares recursively; a document nested tens of thousands of levels deep would overflow
// the stack there. No file of ours comes near this depth.
inline constexpr std::size_t kMaxJsonNesting = 256;

// True when no array or object in `text` is nested deeper than `maxDepth` levels (brackets
// inside strings do not count). Says nothing about whether `text` is valid JSON; run it before
// the parser so that a document too deep is refused before anything recursive sees it.
bool jsonNestingWithin(std::string_view text, std::size_t maxDepth = kMaxJsonNesting);

}  // namespace ambleguard
