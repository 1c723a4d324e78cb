#pragma once

#include "platform/linux/HciChannel.h"
#include "platform/posix/HciPackets.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace ambleguard::test {

// Raw HCI sockets as a test scripts them: which links exist (address and link type to handle),
// what opening and sending fail with, and the packets the "kernel" delivers. It records what
// the code under test asked. Used on one thread (the one that opens the channels).
class ScriptedHci final : public linuxdesktop::HciChannelOpener {
  public:
    using Bytes = std::vector<std::uint8_t>;

    int openError = 0;
    int sendError = 0;
    // Links the kernel knows: (address, link type) -> handle.
    std::map<std::pair<hci::Address, std::uint8_t>, std::uint16_t> links;

    std::vector<int> opened;          // adapter indexes, one per open
    std::vector<Bytes> sent;          // every packet written
    std::vector<std::uint8_t> asked;  // link type of each HCIGETCONNINFO
    bool channelOpen() const { return *alive_; }

    std::variant<std::unique_ptr<linuxdesktop::HciChannel>, int> open(
        int adapterIndex, PacketHandler onPacket) override {
        opened.push_back(adapterIndex);
        if (openError != 0) {
            return openError;
        }
        handler_ = std::move(onPacket);
        *alive_ = true;
        return std::make_unique<Channel>(*this, alive_);
    }

    // The kernel hands the open channel an event packet.
    void deliver(const Bytes& packet) const {
        if (*alive_ && handler_) {
            handler_(packet.data(), packet.size());
        }
    }

    // The Command Complete event of Read RSSI.
    static Bytes readRssiComplete(std::uint16_t handle, std::int8_t rssi, std::uint8_t status = 0) {
        return {hci::kEventPacket,
                hci::kEventCommandComplete,
                7,
                1,
                static_cast<std::uint8_t>(hci::kReadRssiOpcode & 0xFF),
                static_cast<std::uint8_t>(hci::kReadRssiOpcode >> 8),
                status,
                static_cast<std::uint8_t>(handle & 0xFF),
                static_cast<std::uint8_t>(handle >> 8),
                static_cast<std::uint8_t>(rssi)};
    }
    // The Command Status event refusing Read RSSI (it names no link).
    static Bytes readRssiRefused(std::uint8_t status) {
        return {hci::kEventPacket,
                hci::kEventCommandStatus,
                4,
                status,
                1,
                static_cast<std::uint8_t>(hci::kReadRssiOpcode & 0xFF),
                static_cast<std::uint8_t>(hci::kReadRssiOpcode >> 8)};
    }

  private:
    class Channel final : public linuxdesktop::HciChannel {
      public:
        Channel(ScriptedHci& owner, std::shared_ptr<bool> alive)
            : owner_(owner), alive_(std::move(alive)) {}
        ~Channel() override { *alive_ = false; }
        int connectionInfo(std::vector<std::uint8_t>& request) override {
            hci::Address address{};
            std::copy_n(request.begin(), 6, address.begin());
            owner_.asked.push_back(request[6]);
            const auto found = owner_.links.find({address, request[6]});
            if (found == owner_.links.end()) {
                return ENOENT;
            }
            // As the kernel writes it: the handle first in the answer, in the machine's order.
            std::memcpy(request.data() + 8, &found->second, sizeof found->second);
            return 0;
        }
        int send(const std::vector<std::uint8_t>& packet) override {
            owner_.sent.push_back(packet);
            return owner_.sendError;
        }

      private:
        ScriptedHci& owner_;
        std::shared_ptr<bool> alive_;
    };

    PacketHandler handler_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(false);
};

}  // namespace ambleguard::test
