#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

namespace ambleguard::linuxdesktop {

// One raw HCI socket bound to an adapter, reduced to what reading a link's RSSI needs. The
// kernel's socket is one implementation; tests give the link reader scripted ones.
class HciChannel {
  public:
    virtual ~HciChannel() = default;
    // HCIGETCONNINFO on a request built by hci::connectionInfoRequest, answered in place:
    // 0, or the errno of the failure (ENOENT: no such link).
    virtual int connectionInfo(std::vector<std::uint8_t>& request) = 0;
    // Writes one packet, its type byte first: 0, or the errno of the failure.
    virtual int send(const std::vector<std::uint8_t>& packet) = 0;
};

// Opens channels. Received packets reach `onPacket` on the event loop of the thread that opened
// the channel, until the channel is destroyed.
class HciChannelOpener {
  public:
    using PacketHandler = std::function<void(const std::uint8_t* data, std::size_t size)>;

    virtual ~HciChannelOpener() = default;
    // A channel to adapter hci<adapterIndex> that lets through only the answers to Read RSSI,
    // or the errno of the step that failed.
    virtual std::variant<std::unique_ptr<HciChannel>, int> open(int adapterIndex,
                                                                PacketHandler onPacket) = 0;
};

}  // namespace ambleguard::linuxdesktop
