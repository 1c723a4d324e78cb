#include "base/Uuid.h"

namespace ambleguard {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isHyphenPosition(std::size_t i) {
    return i == 8 || i == 13 || i == 18 || i == 23;
}

}  // namespace

std::optional<Uuid> Uuid::parse(std::string_view text) {
    if (text.size() != 36) {
        return std::nullopt;
    }
    Bytes bytes{};
    std::size_t byteIndex = 0;
    int pendingHigh = -1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isHyphenPosition(i)) {
            if (text[i] != '-') {
                return std::nullopt;
            }
            continue;
        }
        const int value = hexValue(text[i]);
        if (value < 0) {
            return std::nullopt;
        }
        if (pendingHigh < 0) {
            pendingHigh = value;
        } else {
            bytes[byteIndex++] = static_cast<std::uint8_t>(pendingHigh << 4 | value);
            pendingHigh = -1;
        }
    }
    return Uuid(bytes);
}

Uuid Uuid::fromHalves(std::uint64_t high, std::uint64_t low) {
    Bytes bytes{};
    for (int i = 0; i < 8; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(high >> (56 - 8 * i));
        bytes[static_cast<std::size_t>(i) + 8] = static_cast<std::uint8_t>(low >> (56 - 8 * i));
    }
    return Uuid(bytes);
}

std::string Uuid::toString() const {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text.push_back('-');
        }
        text.push_back(kDigits[bytes_[i] >> 4]);
        text.push_back(kDigits[bytes_[i] & 0x0F]);
    }
    return text;
}

std::size_t UuidHash::operator()(const Uuid& uuid) const noexcept {
    // FNV-1a over the bytes: identifiers are random already, this just folds them.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const std::uint8_t byte : uuid.bytes()) {
        hash ^= byte;
        hash *= 1099511628211ULL;
    }
    return static_cast<std::size_t>(hash);
}

}  // namespace ambleguard
