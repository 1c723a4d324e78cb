#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ambleguard {

// A 128-bit identifier such as a Bluetooth peripheral's identifier. The text form is the usual
// 8-4-4-4-12 hex groups; it is written in upper case, as the platforms we mirror print it.
class Uuid {
  public:
    using Bytes = std::array<std::uint8_t, 16>;

    // The nil identifier (all zero bits).
    constexpr Uuid() = default;
    constexpr explicit Uuid(const Bytes& bytes) : bytes_(bytes) {}

    // Accepts exactly "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" in hex digits of either case;
    // nothing for anything else (no braces, no missing hyphens, no surrounding spaces).
    static std::optional<Uuid> parse(std::string_view text);

    // The identifier whose first eight bytes are `high` and last eight `low`, big-endian.
    static Uuid fromHalves(std::uint64_t high, std::uint64_t low);

    // Upper-case canonical form, 36 characters.
    std::string toString() const;

    const Bytes& bytes() const { return bytes_; }
    bool isNil() const { return *this == Uuid(); }

    friend bool operator==(const Uuid&, const Uuid&) = default;
    friend std::strong_ordering operator<=>(const Uuid&, const Uuid&) = default;

  private:
    Bytes bytes_{};
};

struct UuidHash {
    std::size_t operator()(const Uuid& uuid) const noexcept;
};

}  // namespace ambleguard

template <>
struct std::hash<ambleguard::Uuid> {
    std::size_t operator()(const ambleguard::Uuid& uuid) const noexcept {
        return ambleguard::UuidHash{}(uuid);
    }
};
