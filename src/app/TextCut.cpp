#include "app/TextCut.h"

#include "base/TextEscaping.h"

#include <utf8proc.h>

namespace ambleguard {

std::string cutWithEllipsis(std::string_view text, std::size_t limit) {
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    std::string kept;
    std::size_t characters = 0;
    utf8proc_int32_t previous = -1;
    utf8proc_int32_t state = 0;
    for (utf8proc_ssize_t at = 0; at < size;) {
        utf8proc_int32_t codePoint = 0;
        utf8proc_ssize_t length = utf8proc_iterate(bytes + at, size - at, &codePoint);
        const bool valid = length > 0;
        if (!valid) {
            codePoint = 0xFFFD;
            length = 1;
        }
        const bool startsCharacter =
            previous < 0 || utf8proc_grapheme_break_stateful(previous, codePoint, &state);
        if (startsCharacter) {
            if (characters == limit) {
                return kept + "...";
            }
            ++characters;
        }
        if (valid) {
            kept.append(
                text.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(length)));
        } else {
            appendUtf8(kept, U'\uFFFD');
        }
        previous = codePoint;
        at += length;
    }
    return kept;
}

}  // namespace ambleguard
