#pragma once

#include "base/Log.h"
#include "platform/linux/HciChannel.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace ambleguard::linuxdesktop {

// Reads the RSSI of a live Bluetooth Low Energy link with the controller's Read RSSI command:
// the kernel gives the link's connection handle for the device's address (HCIGETCONNINFO), the
// command goes out on a raw HCI socket and its answer comes back in the socket's event stream.
// BlueZ's D-Bus interface has no link RSSI, and the management socket's connection info needs
// CAP_NET_ADMIN; this path needs no privilege.
//
// The handle is asked of the kernel before every read rather than taken from the connection
// events, which only a socket open when the link came up would have seen, and which go stale
// when the link drops and its handle is reused.
//
// One channel per adapter, opened on first use and kept. Lives on one thread: the one whose
// event loop delivers the channels' packets.
class HciLinkReader {
  public:
    // `rssi` in dBm is meaningful only when `error` is absent.
    using Answer = std::function<void(int rssi, const std::optional<std::string>& error)>;

    // Reads waiting for their answers on one link; beyond this the oldest is given up.
    static constexpr std::size_t kMaxWaiting = 4;

    HciLinkReader(HciChannelOpener& opener, LogSink& logSink);
    HciLinkReader(const HciLinkReader&) = delete;
    HciLinkReader& operator=(const HciLinkReader&) = delete;
    ~HciLinkReader();

    // Whether links on adapter hci<adapterIndex> can be read: its channel is open or opens now,
    // and the kernel has not refused the command. Why not is logged once.
    bool usable(int adapterIndex);

    // Reads the RSSI of the LE link to `address` ("AA:BB:CC:DD:EE:FF") on that adapter.
    // `answer` runs at most once: at once on a failure found here, or when the controller
    // answers. A read whose answer never comes is given up with an error once kMaxWaiting
    // newer reads of the same link are waiting.
    void readRssi(int adapterIndex, const std::string& address, Answer answer);

  private:
    struct Waiting {
        std::uint16_t handle;
        Answer answer;
    };
    struct Adapter {
        std::unique_ptr<HciChannel> channel;
        std::deque<Waiting> waiting;  // in the order the commands went out
        bool refused = false;         // the kernel refused the command: no use trying again
    };

    HciChannel* channelFor(int adapterIndex, std::string& whyNot);
    void onPacket(int adapterIndex, const std::uint8_t* data, std::size_t size);
    void giveUp(Adapter& adapter, const std::string& why);
    void logOnce(int adapterIndex, int error, const std::string& text);

    HciChannelOpener& opener_;
    Logger log_;
    std::map<int, Adapter> adapters_;
    std::set<std::pair<int, int>> logged_;
    // Guards answers against a reader destroyed by the code an answer runs.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace ambleguard::linuxdesktop
