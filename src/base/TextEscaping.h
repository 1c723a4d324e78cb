#pragma once

#include <string>
#include <string_view>

namespace ambleguard {

// Texts that carry outside input (device names, shortcut output) made safe to print.

// `text` with control characters and bidirectional formatting characters written as escapes
// (\n, \t, \x1b, \u0085, \u202e) and invalid UTF-8 replaced by U+FFFD, so that it prints as
// one harmless line that reads in the order it was written.
// Appends the UTF-8 encoding of the code point `c` to `out`.
void appendUtf8(std::string& out, char32_t c);

std::string printable(std::string_view text);

// `text` as a JSON string literal (quotes included), with the same characters escaped as
// \uXXXX; invalid UTF-8 is replaced by U+FFFD.
std::string jsonString(std::string_view text);

}  // namespace ambleguard
