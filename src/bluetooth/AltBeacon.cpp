#include "bluetooth/AltBeacon.h"

#include <fmt/format.h>

#include <array>
#include <string_view>
#include <utility>

namespace ambleguard {
namespace {

constexpr std::size_t kFrameLength = 26;
constexpr std::size_t kIdentifierOffset = 4;
constexpr std::size_t kIdentifierLength = 20;
constexpr std::uint16_t kAppleCompanyID = 0x004C;

constexpr std::array<std::pair<std::uint16_t, std::string_view>, 6> kManufacturerNames{{
    {0x0118, "Radius Networks"},
    {0x004C, "Apple"},
    {0x0157, "Estimote"},
    {0x015D, "Estimote"},
    {0x0059, "Nordic Semiconductor"},
    {0x000D, "Texas Instruments"},
}};

// A space, U+00B7 MIDDLE DOT, a space.
constexpr std::string_view kSeparator = " \u00B7 ";

std::uint16_t littleEndian16(std::span<const std::uint8_t> data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}

std::uint16_t bigEndian16(std::span<const std::uint8_t> data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] << 8 | data[at + 1]);
}

}  // namespace

std::optional<AltBeaconFrame> parseBeaconFrame(std::span<const std::uint8_t> data) {
    if (data.size() < kFrameLength || data[2] != 0xBE || data[3] != 0xAC) {
        return std::nullopt;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string identifierHex;
    identifierHex.reserve(kIdentifierLength * 2);
    for (std::size_t i = kIdentifierOffset; i < kIdentifierOffset + kIdentifierLength; ++i) {
        identifierHex.push_back(kDigits[data[i] >> 4]);
        identifierHex.push_back(kDigits[data[i] & 0x0F]);
    }
    AltBeaconFrame frame;
    frame.companyID = littleEndian16(data, 0);
    frame.major = bigEndian16(data, 20);
    frame.minor = bigEndian16(data, 22);
    frame.proximityUUIDPrefix = identifierHex.substr(0, 8);
    frame.identityKey = fmt::format("{:04x}-{}", frame.companyID, identifierHex);
    return frame;
}

std::optional<AltBeaconFrame> parseBeaconFrame(const AdvertisementData& advertisement) {
    if (!advertisement.manufacturerData) {
        return std::nullopt;
    }
    return parseBeaconFrame(std::span<const std::uint8_t>(*advertisement.manufacturerData));
}

std::string beaconLabel(const AltBeaconFrame& frame) {
    std::string maker;
    for (const auto& [company, name] : kManufacturerNames) {
        if (company == frame.companyID) {
            maker = name;
            break;
        }
    }
    if (maker.empty()) {
        maker = fmt::format("Beacon 0x{:04X}", frame.companyID);
    }
    return fmt::format("{}{}{}{}{}/{}", maker, kSeparator, frame.proximityUUIDPrefix, kSeparator,
                       frame.major, frame.minor);
}

bool isAppleAdvertisement(const AdvertisementData& advertisement) {
    const auto& data = advertisement.manufacturerData;
    return data && data->size() >= 3 && littleEndian16(*data, 0) == kAppleCompanyID;
}

}  // namespace ambleguard
