#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace ambleguard::hci {

// The bytes exchanged with the kernel to read a live link's RSSI over a raw HCI socket: find
// the link's connection handle (HCIGETCONNINFO), send the controller a Read RSSI command and
// pick its answer out of the event stream. Pure encoding and decoding, so it is testable
// anywhere; the socket itself belongs to the Linux adapter.

using Address = std::array<std::uint8_t, 6>;  // as the kernel stores it: least significant first

inline constexpr std::uint8_t kCommandPacket = 0x01;
inline constexpr std::uint8_t kEventPacket = 0x04;
inline constexpr std::uint8_t kEventCommandComplete = 0x0E;
inline constexpr std::uint8_t kEventCommandStatus = 0x0F;
// Status parameters group (0x05), Read RSSI (0x0005).
inline constexpr std::uint16_t kReadRssiOpcode = (0x05 << 10) | 0x0005;
// The kernel's link type of a Bluetooth Low Energy connection.
inline constexpr std::uint8_t kLeLink = 0x80;

// "AA:BB:CC:DD:EE:FF" (either case); nothing when it is not an address.
std::optional<Address> parseAddress(std::string_view text);

// The HCIGETCONNINFO argument: the request for the link of `type` to `address`, with room for
// the kernel's answer (24 bytes).
std::vector<std::uint8_t> connectionInfoRequest(const Address& address, std::uint8_t type);
// The connection handle the kernel wrote into an answered request; nothing when the buffer is
// too short.
std::optional<std::uint16_t> connectionHandle(const std::vector<std::uint8_t>& answered);

// The socket filter (SOL_HCI / HCI_FILTER, 16 bytes) that lets through only the events that
// answer a Read RSSI command.
std::vector<std::uint8_t> readRssiFilter();

// The Read RSSI command packet for a connection handle (only its low 12 bits exist).
std::vector<std::uint8_t> readRssiCommand(std::uint16_t handle);

// What an event packet says about a Read RSSI command.
struct ReadRssiReply {
    std::uint8_t status = 0;  // 0 = success; otherwise the controller's error code
    std::optional<std::uint16_t> handle;
    std::int8_t rssi = 0;  // dBm, meaningful when status is 0
};
// Nothing when the packet is not an answer to Read RSSI (another event, another command,
// a truncated packet).
std::optional<ReadRssiReply> parseReadRssiReply(const std::uint8_t* data, std::size_t size);

}  // namespace ambleguard::hci
