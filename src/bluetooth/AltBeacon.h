#pragma once

#include "platform/BleCentral.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace ambleguard {

// The beacon frame some nameless beacons broadcast in their manufacturer data. It gives them a
// readable label and a stable identity that survives the beacon changing its address.
struct AltBeaconFrame {
    std::uint16_t companyID = 0;
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    // First 8 hex digits of the 20-byte beacon identifier.
    std::string proximityUUIDPrefix;
    // "cccc-" (company, lower-case hex) followed by the 40 lower-case hex digits of the
    // beacon identifier.
    std::string identityKey;

    friend bool operator==(const AltBeaconFrame&, const AltBeaconFrame&) = default;
};

// Parses a frame from manufacturer data; nothing unless the data has at least 26 bytes with
// the 0xBE 0xAC marker at offsets 2 and 3.
std::optional<AltBeaconFrame> parseBeaconFrame(std::span<const std::uint8_t> manufacturerData);
std::optional<AltBeaconFrame> parseBeaconFrame(const AdvertisementData& advertisement);

// "Maker · prefix · major/minor", the maker from a small table of company identifiers or
// "Beacon 0xABCD" for others.
std::string beaconLabel(const AltBeaconFrame& frame);

// True when the manufacturer data carries Apple's company identifier and at least one byte of
// payload after it.
bool isAppleAdvertisement(const AdvertisementData& advertisement);

}  // namespace ambleguard
