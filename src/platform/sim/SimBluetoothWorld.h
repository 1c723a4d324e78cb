#pragma once

#include "base/Liveness.h"
#include "base/Signal.h"
#include "platform/BleCentral.h"
#include "platform/sim/RssiTimeline.h"
#include "platform/sim/SimBluetoothConfig.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimPeripheral.h"
#include "platform/sim/SimRandom.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace ambleguard::sim {

// Counters that tests and the simulator's transcript read.
struct SimBluetoothStats {
    int centralsCreated = 0;
    int scanStarts = 0;
    // Requests a real stack would refuse because the central was not powered on.
    int refusedWhileNotPoweredOn = 0;
    std::uint64_t advertisementsSent = 0;  // while some central was scanning
    std::uint64_t discoveriesDelivered = 0;
    int connectRequests = 0;
    int cancelRequests = 0;
    int rssiReadRequests = 0;
    int rssiReadsWithoutLink = 0;
};

// A link request the program made: a connect, or the cancellation of a link.
struct SimLinkRequest {
    bool connect = true;
    Uuid identifier;
    std::optional<std::string> name;
};

// The Bluetooth central role of the simulated platform: devices advertising along their signal
// timelines, power and permission changes, restoration and connections, all in virtual time on
// the one main loop. Each device has at most one pending event, so long scenarios cost time in
// proportion to the advertisements actually sent, and none while nobody scans.
//
// The world must outlive the centrals it creates.
class SimBluetoothWorld final : public BleCentralPort {
  public:
    SimBluetoothWorld(SimClock& clock, SimMainLoop& loop, SimBluetoothConfig config);
    ~SimBluetoothWorld() override;
    SimBluetoothWorld(const SimBluetoothWorld&) = delete;
    SimBluetoothWorld& operator=(const SimBluetoothWorld&) = delete;

    BleAuthorization authorization() const override { return authorization_; }
    std::unique_ptr<BleCentral> createCentral(BleCentralDelegate& delegate,
                                              Executor& callbackExecutor,
                                              const BleCentralOptions& options) override;

    // Immediate changes, besides those the configuration schedules.
    void setRadioState(BleManagerState state);
    void setAuthorization(BleAuthorization authorization);

    // What a central is told: the radio's state unless permission is missing.
    BleManagerState effectiveState() const;
    // Seconds since the world was created.
    double elapsed() const;
    // The peripheral object behind an identifier (a device's, or a restored one).
    std::shared_ptr<SimPeripheral> peripheral(const Uuid& identifier) const;
    // The identifier device `index` advertises under now.
    Uuid currentIdentifier(std::size_t index) const;
    // Options of the centrals created so far, in order: the most recent kKeptCentralRecords of
    // them (a long run resets Bluetooth, and so makes a central, every half minute of silence;
    // stats().centralsCreated counts them all).
    static constexpr std::size_t kKeptCentralRecords = 64;
    const std::vector<BleCentralOptions>& createdCentrals() const { return createdCentrals_; }
    std::size_t liveCentrals() const { return centrals_.size(); }
    bool isScanning() const;
    const SimBluetoothStats& stats() const { return stats_; }
    // Tells of every connect and cancel request, as it is made.
    [[nodiscard]] Connection onLinkRequest(std::function<void(const SimLinkRequest&)> fn) {
        return linkRequests_.connect(std::move(fn));
    }

  private:
    class Central;
    struct Device;
    struct Link {
        Central* owner = nullptr;
        std::uint64_t generation = 0;
        ScopedTimer timer;
    };

    std::int64_t nowMicros() const;
    TimerHandle scheduleAt(std::int64_t micros, Task task);
    std::int64_t nextGridTime(const Device& device, std::int64_t fromMicros) const;

    void stateChanged();
    void sendState(Central& central);
    void updateAdvertising();
    void scheduleAdvertisement(Device& device, std::int64_t fromMicros);
    void advertise(Device& device, std::int64_t atMicros);
    Uuid identifierAt(const Device& device, double t) const;
    void deliverRestoration(Central& central);

    // Central operations.
    void detach(Central& central);
    void startScan(Central& central, bool allowDuplicates);
    void stopScan(Central& central);
    std::vector<PeripheralRef> retrieve(const std::vector<Uuid>& identifiers) const;
    void connect(Central& central, const PeripheralRef& peripheral);
    void cancelConnection(Central& central, const PeripheralRef& peripheral);
    void readRSSI(Central& central, const PeripheralRef& peripheral);

    // Links.
    void attemptLink(const Uuid& identifier);
    void armLinkWatch(const Uuid& identifier);
    void dropLink(Link& link, SimPeripheral& peripheral);
    void dropAllLinks(Central* onlyOf);
    Device* deviceOf(const Uuid& identifier) const;

    SimClock& clock_;
    SimMainLoop& loop_;
    SimBluetoothConfig config_;
    Instant start_;
    SimRandom random_;

    BleManagerState radioState_;
    BleAuthorization authorization_;
    BleManagerState lastEffective_;
    bool promptPending_ = false;
    bool restorationDelivered_ = false;

    std::vector<std::unique_ptr<Device>> devices_;
    std::unordered_map<Uuid, std::shared_ptr<SimPeripheral>> peripherals_;
    std::unordered_map<Uuid, Device*> deviceByIdentifier_;
    std::unordered_set<Uuid> known_;
    std::unordered_map<Uuid, Link> links_;
    std::vector<Central*> centrals_;
    std::vector<BleCentralOptions> createdCentrals_;
    bool advertising_ = false;
    SimBluetoothStats stats_;
    Signal<const SimLinkRequest&> linkRequests_;

    std::vector<ScopedTimer> scheduledChanges_;
    LivenessToken liveness_;
};

}  // namespace ambleguard::sim
