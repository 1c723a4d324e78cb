#include "platform/linux/RawHciSocketOpener.h"

#include "platform/posix/HciPackets.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ambleguard::linuxdesktop {

namespace {

// The kernel's Bluetooth socket constants (linux/bluetooth headers are not installed with the
// kernel's user-space API, so they are spelled out here).
constexpr int kAfBluetooth = 31;
constexpr int kBtProtoHci = 1;
constexpr int kSolHci = 0;
constexpr int kHciFilter = 2;
constexpr unsigned short kHciChannelRaw = 0;
// _IOR('H', 213, int)
constexpr unsigned long kHciGetConnInfo = 0x800448D5UL;

struct SockaddrHci {
    sa_family_t family;
    unsigned short dev;
    unsigned short channel;
};

class RawHciSocket final : public HciChannel {
  public:
    RawHciSocket(int fd, HciChannelOpener::PacketHandler onPacket)
        : fd_(fd), onPacket_(std::move(onPacket)), notifier_(fd, QSocketNotifier::Read) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { drain(); });
    }
    RawHciSocket(const RawHciSocket&) = delete;
    RawHciSocket& operator=(const RawHciSocket&) = delete;
    ~RawHciSocket() override {
        notifier_.setEnabled(false);
        ::close(fd_);
    }

    int connectionInfo(std::vector<std::uint8_t>& request) override {
        return ::ioctl(fd_, kHciGetConnInfo, request.data()) == 0 ? 0 : errno;
    }

    int send(const std::vector<std::uint8_t>& packet) override {
        for (;;) {
            const auto written = ::write(fd_, packet.data(), packet.size());
            if (written >= 0) {
                return 0;
            }
            if (errno != EINTR) {
                return errno;
            }
        }
    }

  private:
    void drain() {
        // Each read is one packet: type byte, event header, at most 255 parameter bytes.
        std::array<std::uint8_t, 260> buffer{};
        for (;;) {
            const auto size = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (size > 0) {
                onPacket_(buffer.data(), static_cast<std::size_t>(size));
                continue;
            }
            if (size < 0 && errno == EINTR) {
                continue;
            }
            if (size == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                // The adapter went away: the socket stays silent; sends will report it.
                notifier_.setEnabled(false);
            }
            return;
        }
    }

    const int fd_;
    HciChannelOpener::PacketHandler onPacket_;
    QSocketNotifier notifier_;
};

}  // namespace

std::variant<std::unique_ptr<HciChannel>, int> RawHciSocketOpener::open(int adapterIndex,
                                                                        PacketHandler onPacket) {
    const int fd = ::socket(kAfBluetooth, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, kBtProtoHci);
    if (fd < 0) {
        return errno;
    }
    SockaddrHci address{};
    address.family = kAfBluetooth;
    address.dev = static_cast<unsigned short>(adapterIndex);
    address.channel = kHciChannelRaw;
    const auto filter = hci::readRssiFilter();
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::setsockopt(fd, kSolHci, kHciFilter, filter.data(),
                     static_cast<socklen_t>(filter.size())) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    return std::make_unique<RawHciSocket>(fd, std::move(onPacket));
}

}  // namespace ambleguard::linuxdesktop
