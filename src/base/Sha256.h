#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ambleguard {

// SHA-256 (FIPS 180-4) of `bytes`.
std::array<std::uint8_t, 32> sha256(std::string_view bytes);
// The same digest as 64 lower-case hexadecimal characters.
std::string sha256Hex(std::string_view bytes);

}  // namespace ambleguard
