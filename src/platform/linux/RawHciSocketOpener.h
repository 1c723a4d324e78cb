#pragma once

#include "platform/linux/HciChannel.h"

namespace ambleguard::linuxdesktop {

// The kernel's raw HCI sockets (AF_BLUETOOTH, BTPROTO_HCI), with the filter that admits only
// the answers to Read RSSI. The kernel lets an unprivileged process send that command and ask
// for a connection's handle; opening fails where the kernel has no Bluetooth sockets (a
// container, another network namespace) or a security policy forbids them.
class RawHciSocketOpener final : public HciChannelOpener {
  public:
    std::variant<std::unique_ptr<HciChannel>, int> open(int adapterIndex,
                                                        PacketHandler onPacket) override;
};

}  // namespace ambleguard::linuxdesktop
