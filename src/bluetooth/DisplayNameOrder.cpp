#include "bluetooth/DisplayNameOrder.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace ambleguard {
namespace {

struct Composition {
    char32_t first;
    char32_t second;
    char32_t composed;
};

constexpr Composition kCompositions[] = {
#include "bluetooth/CanonicalCompositionTable.inc"
};

constexpr char32_t kReplacement = 0xFFFD;

// Hangul syllables compose by arithmetic rather than by table.
constexpr char32_t kHangulSBase = 0xAC00;
constexpr char32_t kHangulLBase = 0x1100;
constexpr char32_t kHangulVBase = 0x1161;
constexpr char32_t kHangulTBase = 0x11A7;
constexpr char32_t kHangulLCount = 19;
constexpr char32_t kHangulVCount = 21;
constexpr char32_t kHangulTCount = 28;
constexpr char32_t kHangulNCount = kHangulVCount * kHangulTCount;
constexpr char32_t kHangulSCount = kHangulLCount * kHangulNCount;

bool composePair(char32_t first, char32_t second, char32_t& composed) {
    if (first >= kHangulLBase && first < kHangulLBase + kHangulLCount && second >= kHangulVBase &&
        second < kHangulVBase + kHangulVCount) {
        composed =
            kHangulSBase +
            ((first - kHangulLBase) * kHangulVCount + (second - kHangulVBase)) * kHangulTCount;
        return true;
    }
    if (first >= kHangulSBase && first < kHangulSBase + kHangulSCount &&
        (first - kHangulSBase) % kHangulTCount == 0 && second > kHangulTBase &&
        second < kHangulTBase + kHangulTCount) {
        composed = first + (second - kHangulTBase);
        return true;
    }
    const auto* end = std::end(kCompositions);
    const auto* found =
        std::lower_bound(std::begin(kCompositions), end, Composition{first, second, 0},
                         [](const Composition& a, const Composition& b) {
                             return a.first != b.first ? a.first < b.first : a.second < b.second;
                         });
    if (found != end && found->first == first && found->second == second) {
        composed = found->composed;
        return true;
    }
    return false;
}

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

std::u32string composeCanonically(std::u32string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (const char32_t c : text) {
        char32_t composed = 0;
        if (!out.empty() && composePair(out.back(), c, composed)) {
            out.back() = composed;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::u32string displayNameSortKey(std::string_view utf8) {
    return composeCanonically(decodeUtf8Lossy(utf8));
}

}  // namespace ambleguard
