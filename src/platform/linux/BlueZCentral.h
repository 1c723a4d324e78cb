#pragma once

#include "base/Log.h"
#include "platform/BleCentral.h"
#include "platform/linux/HciChannel.h"
#include "platform/linux/QtWorkerThread.h"

#include <QDBusConnection>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace ambleguard::linuxdesktop {

class BlueZClient;

// One central over BlueZ. Its D-Bus side (BlueZClient) lives on the Bluetooth thread; calls
// from any thread are handed to it there, and its events reach the delegate through the
// callback executor. The first state is reported once BlueZ's object manager has answered (or
// failed to), never a provisional "unknown".
class BlueZCentral final : public BleCentral {
  public:
    // Link RSSI is read through `hci`; without it links are opened but never read.
    BlueZCentral(QtWorkerThread& thread, QDBusConnection bus, LogSink& logSink,
                 BleCentralDelegate& delegate, Executor& callbackExecutor,
                 HciChannelOpener* hci = nullptr,
                 std::function<void(BleManagerState)> stateObserver = {});
    BlueZCentral(const BlueZCentral&) = delete;
    BlueZCentral& operator=(const BlueZCentral&) = delete;
    ~BlueZCentral() override;

    BleManagerState state() const override { return state_.load(); }
    void scanForPeripherals(bool allowDuplicates) override;
    void stopScan() override;
    std::vector<PeripheralRef> retrievePeripherals(const std::vector<Uuid>& identifiers) override;
    void connect(const PeripheralRef& peripheral) override;
    void cancelPeripheralConnection(const PeripheralRef& peripheral) override;
    void readRSSI(const PeripheralRef& peripheral) override;
    // Whether the raw HCI socket of the current adapter really opened and the kernel has not
    // refused the Read RSSI command; known once the adapter is powered on.
    bool canReadLinkRSSI() const override { return linkRSSI_.load(); }

  private:
    // Shared with posted callbacks: once `alive` is false nothing more reaches the delegate.
    struct Delivery {
        std::recursive_mutex mutex;
        bool alive = true;
    };

    void deliver(std::function<void(BleCentralDelegate&)> callback);
    void onClient(std::function<void(BlueZClient&)> work);

    QtWorkerThread& thread_;
    BleCentralDelegate& delegate_;
    Executor& callbackExecutor_;
    std::shared_ptr<Delivery> delivery_ = std::make_shared<Delivery>();
    std::atomic<BleManagerState> state_{BleManagerState::unknown};
    std::atomic<bool> linkRSSI_{false};
    QPointer<BlueZClient> client_;
};

// The Bluetooth central role over BlueZ on the system bus.
class BlueZCentralPort final : public BleCentralPort {
  public:
    // Centrals read link RSSI through `hci` when it is given.
    BlueZCentralPort(QtWorkerThread& thread, QDBusConnection bus, LogSink& logSink,
                     HciChannelOpener* hci = nullptr);

    // Linux has no per-program Bluetooth permission: allowed, unless BlueZ refused us.
    BleAuthorization authorization() const override { return authorization_.load(); }
    std::unique_ptr<BleCentral> createCentral(BleCentralDelegate& delegate,
                                              Executor& callbackExecutor,
                                              const BleCentralOptions& options) override;

  private:
    QtWorkerThread& thread_;
    QDBusConnection bus_;
    LogSink& logSink_;
    HciChannelOpener* hci_;
    std::shared_ptr<std::atomic<BleAuthorization>> authorizationCell_ =
        std::make_shared<std::atomic<BleAuthorization>>(BleAuthorization::allowedAlways);
    std::atomic<BleAuthorization>& authorization_ = *authorizationCell_;
};

}  // namespace ambleguard::linuxdesktop
