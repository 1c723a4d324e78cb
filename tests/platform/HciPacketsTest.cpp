#include "platform/posix/HciPackets.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace ambleguard::hci {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::optional<ReadRssiReply> parse(const Bytes& bytes) {
    return parseReadRssiReply(bytes.data(), bytes.size());
}

TEST(HciPacketsTest, AddressesAreStoredLeastSignificantByteFirst) {
    EXPECT_EQ(parseAddress("AA:bb:CC:dd:EE:01"), (Address{0x01, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA}));
    EXPECT_EQ(parseAddress("AA:BB:CC:DD:EE"), std::nullopt);
    EXPECT_EQ(parseAddress("AA-BB-CC-DD-EE-FF"), std::nullopt);
    EXPECT_EQ(parseAddress("AA:BB:CC:DD:EE:FG"), std::nullopt);
}

TEST(HciPacketsTest, TheConnectionInfoRequestCarriesAddressAndTypeAndYieldsTheHandle) {
    const Address address{1, 2, 3, 4, 5, 6};
    Bytes request = connectionInfoRequest(address, kLeLink);
    ASSERT_EQ(request.size(), 24u);
    EXPECT_EQ(Bytes(request.begin(), request.begin() + 7), (Bytes{1, 2, 3, 4, 5, 6, 0x80}));
    EXPECT_EQ(connectionHandle(request), 0);
    const std::uint16_t handle = 0x0040;
    std::memcpy(request.data() + 8, &handle, 2);  // as the kernel answers
    EXPECT_EQ(connectionHandle(request), 0x0040);
    EXPECT_EQ(connectionHandle(Bytes(10, 0)), std::nullopt);
}

TEST(HciPacketsTest, TheCommandAndFilterNameReadRssi) {
    EXPECT_EQ(readRssiCommand(0x0040), (Bytes{0x01, 0x05, 0x14, 0x02, 0x40, 0x00}));
    // Only twelve bits of a handle exist; the flag bits above them are not sent.
    EXPECT_EQ(readRssiCommand(0xF123), (Bytes{0x01, 0x05, 0x14, 0x02, 0x23, 0x01}));
    const Bytes filter = readRssiFilter();
    ASSERT_EQ(filter.size(), 16u);
    std::uint32_t typeMask = 0;
    std::uint32_t events = 0;
    std::uint16_t opcode = 0;
    std::memcpy(&typeMask, filter.data(), 4);
    std::memcpy(&events, filter.data() + 4, 4);
    std::memcpy(&opcode, filter.data() + 12, 2);
    EXPECT_EQ(typeMask, 1u << 4);
    EXPECT_EQ(events, (1u << 0x0E) | (1u << 0x0F));
    EXPECT_EQ(opcode, 0x1405);
}

TEST(HciPacketsTest, RepliesAreRecognisedAndEverythingElseIgnored) {
    // Command Complete: ncmd 1, opcode 0x1405, status 0, handle 0x0040, RSSI -58.
    const auto ok = parse({0x04, 0x0E, 0x07, 0x01, 0x05, 0x14, 0x00, 0x40, 0x00, 0xC6});
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->status, 0);
    EXPECT_EQ(ok->handle, 0x0040);
    EXPECT_EQ(ok->rssi, -58);
    // The controller failed it (unknown connection), with or without the rest.
    const auto failed = parse({0x04, 0x0E, 0x04, 0x01, 0x05, 0x14, 0x02});
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 0x02);
    const auto refused = parse({0x04, 0x0F, 0x04, 0x0C, 0x01, 0x05, 0x14});
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 0x0C);

    EXPECT_FALSE(parse({0x04, 0x0F, 0x04, 0x00, 0x01, 0x05, 0x14}));  // "pending" is no answer
    EXPECT_FALSE(parse({0x04, 0x0E, 0x07, 0x01, 0x06, 0x14, 0x00, 0x40, 0x00, 0xC6}));
    EXPECT_FALSE(parse({0x04, 0x0E, 0x07, 0x01, 0x05, 0x14, 0x00, 0x40}));  // truncated
    EXPECT_FALSE(parse({0x04, 0x0E, 0x03, 0x01, 0x05, 0x14, 0x00}));        // success without data
    EXPECT_FALSE(parse({0x02, 0x0E, 0x07, 0x01, 0x05, 0x14, 0x00, 0x40, 0x00, 0xC6}));
    EXPECT_FALSE(parse({0x04, 0x3E, 0x01, 0x00}));
    EXPECT_FALSE(parseReadRssiReply(nullptr, 0));
}

}  // namespace
}  // namespace ambleguard::hci
