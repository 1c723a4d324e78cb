#include "platform/linux/HciLinkReader.h"

#include "platform/posix/HciPackets.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ambleguard::linuxdesktop {

namespace {

// The kernel's link type of a BR/EDR (classic) data connection.
constexpr std::uint8_t kAclLink = 0x01;

std::string errnoText(int error) {
    return std::strerror(error);
}

bool isRefusal(int error) {
    return error == EPERM || error == EACCES;
}

}  // namespace

HciLinkReader::HciLinkReader(HciChannelOpener& opener, LogSink& logSink)
    : opener_(opener), log_(logSink, "BlueZ") {}

HciLinkReader::~HciLinkReader() {
    *alive_ = false;
}

void HciLinkReader::logOnce(int adapterIndex, int error, const std::string& text) {
    if (logged_.emplace(adapterIndex, error).second) {
        log_.notice("{}", text);
    }
}

HciChannel* HciLinkReader::channelFor(int adapterIndex, std::string& whyNot) {
    Adapter& adapter = adapters_[adapterIndex];
    if (adapter.refused) {
        whyNot = fmt::format("the kernel refused HCI Read RSSI on hci{}", adapterIndex);
        return nullptr;
    }
    if (adapter.channel) {
        return adapter.channel.get();
    }
    auto opened = opener_.open(adapterIndex,
                               [this, adapterIndex](const std::uint8_t* data, std::size_t size) {
                                   onPacket(adapterIndex, data, size);
                               });
    if (const int* error = std::get_if<int>(&opened)) {
        whyNot = fmt::format("cannot open a raw HCI socket on hci{} ({})", adapterIndex,
                             errnoText(*error));
        logOnce(adapterIndex, *error, "Link RSSI unavailable: " + whyNot);
        return nullptr;
    }
    adapter.channel = std::move(std::get<std::unique_ptr<HciChannel>>(opened));
    log_.info("Link RSSI through HCI Read RSSI on a raw socket bound to hci{}", adapterIndex);
    return adapter.channel.get();
}

bool HciLinkReader::usable(int adapterIndex) {
    std::string whyNot;
    return channelFor(adapterIndex, whyNot) != nullptr;
}

void HciLinkReader::readRssi(int adapterIndex, const std::string& address, Answer answer) {
    const auto parsed = hci::parseAddress(address);
    if (!parsed) {
        answer(0, fmt::format("'{}' is not a Bluetooth address", address));
        return;
    }
    std::string whyNot;
    HciChannel* channel = channelFor(adapterIndex, whyNot);
    if (!channel) {
        answer(0, "Link RSSI cannot be read: " + whyNot);
        return;
    }
    auto request = hci::connectionInfoRequest(*parsed, hci::kLeLink);
    if (const int error = channel->connectionInfo(request); error != 0) {
        if (error != ENOENT) {
            answer(0, fmt::format("HCIGETCONNINFO failed on hci{}: {}", adapterIndex,
                                  errnoText(error)));
            return;
        }
        // A classic link's Read RSSI is an offset from the controller's preferred power range,
        // not a level in dBm: no reading for the presence filter.
        auto classic = hci::connectionInfoRequest(*parsed, kAclLink);
        answer(0, channel->connectionInfo(classic) == 0
                      ? std::string("The device is linked over BR/EDR, whose RSSI is not in dBm")
                      : std::string("There is no LE link to the device"));
        return;
    }
    const auto handle = hci::connectionHandle(request);
    if (!handle) {
        answer(0, "HCIGETCONNINFO gave no connection handle");
        return;
    }
    Adapter& adapter = adapters_[adapterIndex];
    if (const int error = channel->send(hci::readRssiCommand(*handle)); error != 0) {
        const std::string why = fmt::format("HCI Read RSSI could not be sent on hci{}: {}",
                                            adapterIndex, errnoText(error));
        if (isRefusal(error)) {
            adapter.refused = true;
            logOnce(adapterIndex, error, "Link RSSI unavailable: " + why);
        }
        // Either way this socket is done with: refused, or its adapter has gone.
        auto closing = std::move(adapter.channel);
        giveUp(adapter, why);
        answer(0, why);
        return;
    }
    const std::uint16_t linkHandle = *handle & 0x0FFF;
    adapter.waiting.push_back({linkHandle, std::move(answer)});
    const auto sameLink = [linkHandle](const Waiting& w) { return w.handle == linkHandle; };
    if (static_cast<std::size_t>(std::count_if(adapter.waiting.begin(), adapter.waiting.end(),
                                               sameLink)) > kMaxWaiting) {
        const auto oldest = std::find_if(adapter.waiting.begin(), adapter.waiting.end(), sameLink);
        Answer lost = std::move(oldest->answer);
        adapter.waiting.erase(oldest);
        lost(0, std::string("The controller did not answer HCI Read RSSI"));
    }
}

void HciLinkReader::giveUp(Adapter& adapter, const std::string& why) {
    auto waiting = std::move(adapter.waiting);
    adapter.waiting.clear();
    const auto alive = alive_;
    for (auto& entry : waiting) {
        if (!*alive) {
            return;
        }
        entry.answer(0, why);
    }
}

void HciLinkReader::onPacket(int adapterIndex, const std::uint8_t* data, std::size_t size) {
    const auto reply = hci::parseReadRssiReply(data, size);
    if (!reply) {
        return;
    }
    Adapter& adapter = adapters_[adapterIndex];
    // Answers come in the order the commands went out. A refusal may not name its link: it
    // answers the oldest command. Another program's reads of the same link answer ours too,
    // which costs nothing: the value is the link's.
    auto entry = adapter.waiting.begin();
    if (reply->handle) {
        entry = std::find_if(adapter.waiting.begin(), adapter.waiting.end(),
                             [&](const Waiting& w) { return w.handle == *reply->handle; });
    }
    if (entry == adapter.waiting.end()) {
        return;
    }
    Answer answer = std::move(entry->answer);
    adapter.waiting.erase(entry);
    if (reply->status != 0) {
        answer(0, fmt::format("The controller refused HCI Read RSSI (status 0x{:02X})",
                              reply->status));
        return;
    }
    answer(reply->rssi, std::nullopt);
}

}  // namespace ambleguard::linuxdesktop
