#include "platform/posix/HciPackets.h"

#include <cctype>
#include <cstring>

namespace ambleguard::hci {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower >= 'a' && lower <= 'f') {
        return lower - 'a' + 10;
    }
    return -1;
}

// The request is { address[6], type, (pad) } followed by the kernel's hci_conn_info
// { handle u16, address[6], type, out, state u16, link_mode u32 }, aligned to four bytes.
constexpr std::size_t kInfoOffset = 8;
constexpr std::size_t kInfoSize = 16;

}  // namespace

std::optional<Address> parseAddress(std::string_view text) {
    if (text.size() != 17) {
        return std::nullopt;
    }
    Address address{};
    for (std::size_t i = 0; i < 6; ++i) {
        const std::size_t at = i * 3;
        if (i < 5 && text[at + 2] != ':') {
            return std::nullopt;
        }
        const int high = hexDigit(text[at]);
        const int low = hexDigit(text[at + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        // Written most significant first, stored least significant first.
        address[5 - i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return address;
}

std::vector<std::uint8_t> connectionInfoRequest(const Address& address, std::uint8_t type) {
    std::vector<std::uint8_t> request(kInfoOffset + kInfoSize, 0);
    std::memcpy(request.data(), address.data(), address.size());
    request[6] = type;
    return request;
}

std::optional<std::uint16_t> connectionHandle(const std::vector<std::uint8_t>& answered) {
    if (answered.size() < kInfoOffset + kInfoSize) {
        return std::nullopt;
    }
    // The kernel writes the handle in the machine's own byte order.
    std::uint16_t handle = 0;
    std::memcpy(&handle, answered.data() + kInfoOffset, sizeof handle);
    return handle;
}

std::vector<std::uint8_t> readRssiFilter() {
    // { type_mask u32, event_mask u32[2], opcode u16, (pad) }, in the machine's byte order.
    const std::uint32_t typeMask = 1u << kEventPacket;
    const std::uint32_t eventMask[2] = {(1u << kEventCommandComplete) | (1u << kEventCommandStatus),
                                        0};
    const std::uint16_t opcode = kReadRssiOpcode;
    std::vector<std::uint8_t> filter(16, 0);
    std::memcpy(filter.data(), &typeMask, 4);
    std::memcpy(filter.data() + 4, eventMask, 8);
    std::memcpy(filter.data() + 12, &opcode, 2);
    return filter;
}

std::vector<std::uint8_t> readRssiCommand(std::uint16_t handle) {
    handle &= 0x0FFF;
    return {kCommandPacket,
            static_cast<std::uint8_t>(kReadRssiOpcode & 0xFF),
            static_cast<std::uint8_t>(kReadRssiOpcode >> 8),
            2,
            static_cast<std::uint8_t>(handle & 0xFF),
            static_cast<std::uint8_t>(handle >> 8)};
}

std::optional<ReadRssiReply> parseReadRssiReply(const std::uint8_t* data, std::size_t size) {
    // packet type, event code, parameter length, then the parameters; on the wire every
    // field is little-endian.
    if (!data || size < 3 || data[0] != kEventPacket) {
        return std::nullopt;
    }
    const std::uint8_t event = data[1];
    const std::size_t length = data[2];
    if (size < 3 + length) {
        return std::nullopt;
    }
    const std::uint8_t* p = data + 3;
    const auto opcodeAt = [p](std::size_t at) {
        return static_cast<std::uint16_t>(p[at] | (p[at + 1] << 8));
    };
    if (event == kEventCommandComplete) {
        // ncmd, opcode, status, then on success the handle and the RSSI.
        if (length < 4 || opcodeAt(1) != kReadRssiOpcode) {
            return std::nullopt;
        }
        ReadRssiReply reply;
        reply.status = p[3];
        if (reply.status != 0) {
            return reply;  // a failed command may carry no more than its status
        }
        if (length < 7) {
            return std::nullopt;
        }
        reply.handle = static_cast<std::uint16_t>((p[4] | (p[5] << 8)) & 0x0FFF);
        reply.rssi = static_cast<std::int8_t>(p[6]);
        return reply;
    }
    if (event == kEventCommandStatus) {
        // status, ncmd, opcode: only a refusal answers the command this way.
        if (length < 4 || opcodeAt(2) != kReadRssiOpcode || p[0] == 0) {
            return std::nullopt;
        }
        ReadRssiReply reply;
        reply.status = p[0];
        return reply;
    }
    return std::nullopt;
}

}  // namespace ambleguard::hci
