#include "unlock/PasswordText.h"

#include <algorithm>
#include <cstdint>

namespace ambleguard {

namespace {

bool isHighSurrogate(char16_t unit) {
    return (unit & 0xFC00) == 0xD800;
}

// Decodes one scalar value starting at `i`, advancing `i`; nothing for invalid UTF-8.
std::optional<char32_t> decodeOne(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (i + length > text.size()) {
        return std::nullopt;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<std::uint8_t>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        value = (value << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogate code points and values past the last plane are not text.
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return std::nullopt;
    }
    i += length;
    return value;
}

}  // namespace

std::optional<SecretUnits> toUtf16(std::string_view text) {
    std::u16string units;
    // Never more units than bytes, and never inside the string object: no copy is left behind.
    units.reserve(std::max<std::size_t>(text.size(), 64));
    for (std::size_t i = 0; i < text.size();) {
        const auto value = decodeOne(text, i);
        if (!value) {
            wipe(units);
            return std::nullopt;
        }
        if (*value < 0x10000) {
            units.push_back(static_cast<char16_t>(*value));
        } else {
            const char32_t v = *value - 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        }
    }
    return SecretUnits(units);
}

std::size_t characterCount(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<std::uint8_t>(c) & 0xC0) != 0x80;
    }));
}

std::vector<UnitRange> passwordFragments(std::u16string_view units) {
    constexpr std::size_t wanted = 3;
    const std::size_t n = units.size();
    std::vector<UnitRange> fragments;
    if (n < 2) {
        if (n == 1) {
            fragments.push_back({0, 1});
        }
        return fragments;
    }
    const std::size_t k = std::min(n, wanted);
    const std::size_t base = n / k;
    const std::size_t extra = n % k;
    std::size_t start = 0;
    for (std::size_t i = 0; i < k; ++i) {
        std::size_t end = start + base + (i < extra ? 1 : 0);
        if (end < n && isHighSurrogate(units[end - 1])) {
            ++end;  // keep the pair together
        }
        end = std::min(end, n);
        if (end > start) {
            fragments.push_back({start, end});
        }
        if (end >= n) {
            break;
        }
        start = end;
    }
    return fragments;
}

std::vector<UnitRange> keystrokeRuns(UnitRange fragment, std::size_t maxRun,
                                     std::u16string_view units) {
    std::vector<UnitRange> runs;
    for (std::size_t start = fragment.begin; start < fragment.end;) {
        std::size_t end = std::min(start + maxRun, fragment.end);
        // Half a character in one event and half in the next would reach the lock screen as two
        // broken characters.
        if (end < fragment.end && end - start > 1 && isHighSurrogate(units[end - 1])) {
            --end;
        }
        runs.push_back({start, end});
        start = end;
    }
    return runs;
}

}  // namespace ambleguard
