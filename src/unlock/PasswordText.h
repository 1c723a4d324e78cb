#pragma once

#include "unlock/SecretText.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard {

// The login password as the lock screen receives it: UTF-16 code units.

// `text` (UTF-8) as UTF-16 code units; nothing when it is not valid UTF-8.
std::optional<SecretUnits> toUtf16(std::string_view text);

// The number of characters (Unicode scalar values) of valid UTF-8 `text`.
std::size_t characterCount(std::string_view text);

// A half-open range of code units of the password.
struct UnitRange {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t size() const { return end - begin; }
    bool operator==(const UnitRange&) const = default;
};

// Cuts `units` into about three fragments of nearly equal length, never between the two halves
// of a surrogate pair. Nothing for an empty password, one fragment below two units.
std::vector<UnitRange> passwordFragments(std::u16string_view units);

// Cuts a fragment of `units` into runs of at most `maxRun` units for the keyboard events that
// carry them, ending a run one unit early rather than between the halves of a surrogate pair.
std::vector<UnitRange> keystrokeRuns(UnitRange fragment, std::size_t maxRun,
                                     std::u16string_view units);

}  // namespace ambleguard
