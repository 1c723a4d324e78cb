#include "bluetooth/DisplayNameOrder.h"

#include "base/TextEscaping.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

namespace ambleguard {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

std::u32string decodeUtf8Lossy(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<std::uint8_t>(utf8[i]);
        std::size_t length = 0;
        char32_t value = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, value = lead & 0x1F, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, value = lead & 0x0F, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, value = lead & 0x07, minimum = 0x10000;
        }
        bool valid = length != 0 && i + length <= utf8.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            value = value << 6 | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not scalar values.
        valid =
            valid && value >= minimum && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
        if (valid) {
            out.push_back(value);
            i += length;
        } else {
            out.push_back(kReplacement);
            ++i;
        }
    }
    return out;
}

std::u32string displayNameSortKey(std::string_view utf8) {
    // Through the lossy decoder first, so that utf8proc only ever sees valid UTF-8 and every
    // broken byte keeps its own replacement character.
    std::u32string decoded = decodeUtf8Lossy(utf8);
    std::string valid;
    valid.reserve(utf8.size());
    for (const char32_t c : decoded) {
        appendUtf8(valid, c);
    }
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(valid.data());
    const auto length = static_cast<utf8proc_ssize_t>(valid.size());
    constexpr auto kDecompose =
        static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_DECOMPOSE);
    constexpr auto kCompose = static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE);
    // Canonical decomposition (with the marks put in canonical order), then composition.
    std::vector<utf8proc_int32_t> buffer(decoded.size() + 1);
    utf8proc_ssize_t count = 0;
    for (;;) {
        count = utf8proc_decompose(bytes, length, buffer.data(),
                                   static_cast<utf8proc_ssize_t>(buffer.size()), kDecompose);
        if (count < 0) {
            return decoded;  // cannot happen for valid input; the plain scalars still sort
        }
        if (static_cast<std::size_t>(count) <= buffer.size()) {
            break;
        }
        buffer.resize(static_cast<std::size_t>(count));
    }
    count = utf8proc_normalize_utf32(buffer.data(), count, kCompose);
    if (count < 0) {
        return decoded;
    }
    return std::u32string(buffer.begin(), buffer.begin() + count);
}

}  // namespace ambleguard
