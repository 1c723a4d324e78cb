#pragma once

#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "platform/NetworkLinks.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QDBusServiceWatcher;

namespace ambleguard::linuxdesktop {

// The computer's network links as NetworkManager manages them: its devices in its order, with
// their IPv4 addresses. A Wi-Fi device is marked metered when NetworkManager says so (it
// learns it from a phone's hotspot, whose DHCP answer announces it, or from the user); a
// Bluetooth device (a PAN or dial-up tether to a phone) is shown as "Bluetooth".
//
// The list is kept up to date in the background: every change NetworkManager signals starts
// one asynchronous re-read (changes during a re-read start one more), and `onChange` is told
// when the re-read list differs. The main thread never waits for NetworkManager. Lives on the
// main thread.
class NetworkManagerLinks final : public QObject, public NetworkLinks {
    Q_OBJECT

  public:
    NetworkManagerLinks(QDBusConnection bus, MainQueue& mainQueue, LogSink& logSink,
                        QObject* parent = nullptr);
    ~NetworkManagerLinks() override;

    // Nothing when there is no system bus or NetworkManager is not on it (said in the log).
    std::optional<Connection> watch(std::function<void()> onChange) override;
    // Nothing until the first re-read has finished, and while NetworkManager is gone.
    std::optional<std::vector<NetworkInterface>> interfaces() const override { return links_; }

  private Q_SLOTS:
    void onDeviceListChanged(const QDBusMessage& message);
    void onDeviceStateChanged(const QDBusMessage& message);
    void onPropertiesChanged(const QDBusMessage& message);
    void onOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

  private:
    struct Round;

    bool subscribe();
    void refresh();
    void readDevice(const std::shared_ptr<Round>& round, std::size_t index, const QString& path);
    void readAddresses(const std::shared_ptr<Round>& round, std::size_t index,
                       const QString& configPath);
    void deviceDone(const std::shared_ptr<Round>& round);
    void finish(std::optional<std::vector<NetworkInterface>> links);
    void take(std::optional<std::vector<NetworkInterface>> links);

    QDBusConnection bus_;
    MainQueue& mainQueue_;
    Logger log_;
    QDBusServiceWatcher* ownerWatcher_ = nullptr;
    bool subscribed_ = false;
    bool refreshing_ = false;
    bool again_ = false;
    std::uint64_t generation_ = 0;
    std::optional<std::vector<NetworkInterface>> links_;
    std::vector<std::shared_ptr<std::function<void()>>> observers_;
    LivenessToken liveness_;
};

}  // namespace ambleguard::linuxdesktop
