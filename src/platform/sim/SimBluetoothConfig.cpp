#include "platform/sim/SimBluetoothConfig.h"

namespace ambleguard::sim {

std::vector<std::uint8_t> altBeaconManufacturerData(std::uint16_t companyID,
                                                    const std::array<std::uint8_t, 20>& identifier,
                                                    std::int8_t referenceRssi) {
    std::vector<std::uint8_t> data;
    data.reserve(26);
    data.push_back(static_cast<std::uint8_t>(companyID & 0xFF));
    data.push_back(static_cast<std::uint8_t>(companyID >> 8));
    data.push_back(0xBE);
    data.push_back(0xAC);
    data.insert(data.end(), identifier.begin(), identifier.end());
    data.push_back(static_cast<std::uint8_t>(referenceRssi));
    data.push_back(0x00);
    return data;
}

}  // namespace ambleguard::sim
