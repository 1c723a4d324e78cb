#include "bluetooth/AltBeacon.h"

#include <gtest/gtest.h>

#include <vector>

namespace ambleguard {
namespace {

// Company 0x0118, marker, identifier 12 34 56 78 then 0x9A... , major 1, minor 2, two trailing
// bytes.
std::vector<std::uint8_t> workedExample() {
    std::vector<std::uint8_t> data{0x18, 0x01, 0xBE, 0xAC, 0x12, 0x34, 0x56, 0x78};
    for (std::uint8_t i = 0; i < 12; ++i) {
        data.push_back(static_cast<std::uint8_t>(0x9A + i));
    }
    data.insert(data.end(), {0x00, 0x01, 0x00, 0x02, 0xC5, 0x00});
    return data;
}

AdvertisementData withManufacturerData(std::vector<std::uint8_t> data) {
    AdvertisementData advertisement;
    advertisement.manufacturerData = std::move(data);
    return advertisement;
}

TEST(AltBeaconTest, ParsesTheFrameFieldsAndLabel) {
    const auto frame = parseBeaconFrame(workedExample());
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->companyID, 0x0118);
    EXPECT_EQ(frame->major, 1);
    EXPECT_EQ(frame->minor, 2);
    EXPECT_EQ(frame->proximityUUIDPrefix, "12345678");
    EXPECT_EQ(frame->identityKey, "0118-123456789a9b9c9d9e9fa0a1a2a3a4a500010002");
    EXPECT_EQ(beaconLabel(*frame), "Radius Networks \u00B7 12345678 \u00B7 1/2");
}

TEST(AltBeaconTest, NeedsTwentySixBytesAndTheMarker) {
    auto data = workedExample();
    EXPECT_TRUE(parseBeaconFrame(data));
    data.pop_back();  // 25 bytes
    EXPECT_FALSE(parseBeaconFrame(data));

    auto longer = workedExample();
    longer.resize(300, 0xFF);  // oversized data still carries a frame in front
    EXPECT_TRUE(parseBeaconFrame(longer));

    auto wrongMarker = workedExample();
    wrongMarker[3] = 0xAD;
    EXPECT_FALSE(parseBeaconFrame(wrongMarker));
    EXPECT_FALSE(parseBeaconFrame(std::vector<std::uint8_t>{}));
    EXPECT_FALSE(parseBeaconFrame(AdvertisementData{}));
}

TEST(AltBeaconTest, LabelsNameKnownMakersAndSpellOutOthers) {
    auto data = workedExample();
    data[0] = 0xCD;
    data[1] = 0xAB;
    data[20] = 0x12;  // major is big-endian: 0x1234
    data[21] = 0x34;
    const auto unknown = parseBeaconFrame(data);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->major, 0x1234);
    EXPECT_EQ(unknown->identityKey.substr(0, 5), "abcd-");
    EXPECT_EQ(beaconLabel(*unknown), "Beacon 0xABCD \u00B7 12345678 \u00B7 4660/2");

    data[0] = 0x5D;
    data[1] = 0x01;
    EXPECT_EQ(beaconLabel(*parseBeaconFrame(data)).substr(0, 8), "Estimote");
}

TEST(AltBeaconTest, AppleAdvertisementsNeedAPayloadByteAfterTheCompany) {
    EXPECT_FALSE(isAppleAdvertisement(withManufacturerData({0x4C, 0x00})));
    EXPECT_TRUE(isAppleAdvertisement(withManufacturerData({0x4C, 0x00, 0x10})));
    EXPECT_FALSE(isAppleAdvertisement(withManufacturerData({0x00, 0x4C, 0x10})));
    EXPECT_FALSE(isAppleAdvertisement(withManufacturerData({})));
    EXPECT_FALSE(isAppleAdvertisement(AdvertisementData{}));
}

}  // namespace
}  // namespace ambleguard
