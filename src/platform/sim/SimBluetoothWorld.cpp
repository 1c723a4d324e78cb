#include "platform/sim/SimBluetoothWorld.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ambleguard::sim {
namespace {

constexpr double kMicros = 1e6;
constexpr char kLinkTimeoutError[] = "The connection has timed out.";

std::int64_t toMicros(double seconds) {
    return static_cast<std::int64_t>(std::ceil(seconds * kMicros - 1e-6));
}

double toSeconds(std::int64_t micros) {
    return static_cast<double>(micros) / kMicros;
}

int toRssi(double dbm) {
    if (!std::isfinite(dbm)) {
        return -127;
    }
    return static_cast<int>(std::lround(std::clamp(dbm, -127.0, 127.0)));
}

}  // namespace

struct SimBluetoothWorld::Device {
    explicit Device(SimDeviceConfig cfg)
        : config(std::move(cfg)),
          timeline(config.rssi),
          advertisementNoise(config.noiseSeed),
          linkNoise(config.noiseSeed ^ 0x5DEECE66DULL),
          intervalMicros(std::max<std::int64_t>(1, toMicros(config.advertisingInterval))),
          phaseMicros(std::max<std::int64_t>(0, toMicros(config.advertisingPhase))) {}

    SimDeviceConfig config;
    RssiTimeline timeline;
    // (from, identifier), sorted by time; the first entry starts at 0.
    std::vector<std::pair<double, Uuid>> identifiers;
    std::shared_ptr<const AdvertisementData> advertisement;
    SimRandom advertisementNoise;
    SimRandom linkNoise;
    std::int64_t intervalMicros;
    std::int64_t phaseMicros;
    ScopedTimer nextAdvertisement;
};

// One central session handed to the program.
class SimBluetoothWorld::Central final : public BleCentral {
  public:
    Central(SimBluetoothWorld& world, BleCentralDelegate& delegate, Executor& executor,
            BleCentralOptions options)
        : world_(&world), delegate_(delegate), executor_(executor), options_(std::move(options)) {}
    ~Central() override {
        if (world_) {
            world_->detach(*this);
        }
    }

    BleManagerState state() const override { return observed_; }
    void scanForPeripherals(bool allowDuplicates) override {
        if (world_) {
            world_->startScan(*this, allowDuplicates);
        }
    }
    void stopScan() override {
        if (world_) {
            world_->stopScan(*this);
        }
    }
    std::vector<PeripheralRef> retrievePeripherals(const std::vector<Uuid>& ids) override {
        return world_ ? world_->retrieve(ids) : std::vector<PeripheralRef>{};
    }
    void connect(const PeripheralRef& peripheral) override {
        if (world_) {
            world_->connect(*this, peripheral);
        }
    }
    void cancelPeripheralConnection(const PeripheralRef& peripheral) override {
        if (world_) {
            world_->cancelConnection(*this, peripheral);
        }
    }
    void readRSSI(const PeripheralRef& peripheral) override {
        if (world_) {
            world_->readRSSI(*this, peripheral);
        }
    }

    // Runs `fn` with the delegate on the callback executor, unless this central is gone by then.
    template <typename Fn>
    void deliver(Fn fn) {
        executor_.post(liveness_.guarded([this, fn = std::move(fn)] { fn(delegate_); }));
    }

    SimBluetoothWorld* world_;
    BleCentralDelegate& delegate_;
    Executor& executor_;
    BleCentralOptions options_;
    BleManagerState observed_ = BleManagerState::unknown;
    std::optional<BleManagerState> lastSent_;
    bool determined_ = false;
    bool scanning_ = false;
    bool allowDuplicates_ = false;
    // Last report per identifier in the current scan, for the duplicate filter.
    std::unordered_map<Uuid, double> lastReported_;
    ScopedTimer determination_;
    LivenessToken liveness_;
};

SimBluetoothWorld::SimBluetoothWorld(SimClock& clock, SimMainLoop& loop, SimBluetoothConfig config)
    : clock_(clock),
      loop_(loop),
      config_(std::move(config)),
      start_(clock.now()),
      random_(config_.seed),
      radioState_(config_.initialRadioState),
      authorization_(config_.initialAuthorization),
      lastEffective_(effectiveState()) {
    for (const SimDeviceConfig& deviceConfig : config_.devices) {
        auto device = std::make_unique<Device>(deviceConfig);
        device->identifiers.emplace_back(0.0, deviceConfig.identifier);
        auto changes = deviceConfig.addressChanges;
        if (deviceConfig.privateAddressRotation && *deviceConfig.privateAddressRotation > 0 &&
            !deviceConfig.paired) {
            // Rotations over the longest scenario (31 days), at most a few thousand of them.
            const double every = std::max(*deviceConfig.privateAddressRotation, 60.0);
            for (double at = every; at <= 31 * 86400.0; at += every) {
                changes.push_back(SimAddressChange{at, std::nullopt});
            }
        }
        std::stable_sort(changes.begin(), changes.end(),
                         [](const auto& a, const auto& b) { return a.at < b.at; });
        for (const SimAddressChange& change : changes) {
            device->identifiers.emplace_back(
                change.at, change.identifier ? *change.identifier : random_.uuid());
        }
        for (const auto& [from, identifier] : device->identifiers) {
            auto peripheral = std::make_shared<SimPeripheral>(identifier, deviceConfig.name);
            peripheral->setAddressKind(deviceConfig.paired,
                                       deviceConfig.privateAddressRotation.has_value());
            peripherals_.try_emplace(identifier, std::move(peripheral));
            deviceByIdentifier_.try_emplace(identifier, device.get());
        }
        if (deviceConfig.knownToSystem) {
            known_.insert(deviceConfig.identifier);
        }

        AdvertisementData advertisement;
        advertisement.manufacturerData = deviceConfig.manufacturerData;
        advertisement.serviceUUIDs = deviceConfig.serviceUUIDs;
        if (deviceConfig.manufacturerData) {
            advertisement.keys.emplace_back(advertisementKeys::manufacturerData);
        }
        if (deviceConfig.serviceUUIDs) {
            advertisement.keys.emplace_back(advertisementKeys::serviceUUIDs);
        }
        if (deviceConfig.name && deviceConfig.advertisesName) {
            advertisement.keys.emplace_back(advertisementKeys::localName);
        }
        for (const std::string& key : deviceConfig.extraAdvertisementKeys) {
            advertisement.keys.push_back(key);
        }
        device->advertisement = std::make_shared<const AdvertisementData>(std::move(advertisement));
        devices_.push_back(std::move(device));
    }

    for (const SimRadioChange& change : config_.radioChanges) {
        scheduledChanges_.emplace_back(loop_.postAfter(
            change.at, liveness_.guarded([this, state = change.state] { setRadioState(state); })));
    }
    for (const SimAuthorizationChange& change : config_.authorizationChanges) {
        scheduledChanges_.emplace_back(loop_.postAfter(
            change.at, liveness_.guarded([this, authorization = change.authorization] {
                setAuthorization(authorization);
            })));
    }
}

SimBluetoothWorld::~SimBluetoothWorld() {
    for (Central* central : centrals_) {
        central->world_ = nullptr;
    }
}

std::int64_t SimBluetoothWorld::nowMicros() const {
    return (clock_.now() - start_).count();
}

TimerHandle SimBluetoothWorld::scheduleAt(std::int64_t micros, Task task) {
    const double delay = toSeconds(std::max<std::int64_t>(0, micros - nowMicros()));
    return loop_.postAfter(delay, liveness_.guarded(std::move(task)));
}

double SimBluetoothWorld::elapsed() const {
    return toSeconds(nowMicros());
}

BleManagerState SimBluetoothWorld::effectiveState() const {
    switch (authorization_) {
        case BleAuthorization::restricted:
        case BleAuthorization::denied:
            return BleManagerState::unauthorized;
        case BleAuthorization::notDetermined:
            return BleManagerState::unknown;
        case BleAuthorization::allowedAlways:
            break;
    }
    return radioState_;
}

std::shared_ptr<SimPeripheral> SimBluetoothWorld::peripheral(const Uuid& identifier) const {
    const auto found = peripherals_.find(identifier);
    return found == peripherals_.end() ? nullptr : found->second;
}

Uuid SimBluetoothWorld::currentIdentifier(std::size_t index) const {
    return identifierAt(*devices_.at(index), elapsed());
}

bool SimBluetoothWorld::isScanning() const {
    return std::any_of(centrals_.begin(), centrals_.end(),
                       [](const Central* central) { return central->scanning_; });
}

SimBluetoothWorld::Device* SimBluetoothWorld::deviceOf(const Uuid& identifier) const {
    const auto found = deviceByIdentifier_.find(identifier);
    return found == deviceByIdentifier_.end() ? nullptr : found->second;
}

// ---- State ----

std::unique_ptr<BleCentral> SimBluetoothWorld::createCentral(BleCentralDelegate& delegate,
                                                             Executor& callbackExecutor,
                                                             const BleCentralOptions& options) {
    auto central = std::make_unique<Central>(*this, delegate, callbackExecutor, options);
    centrals_.push_back(central.get());
    createdCentrals_.push_back(options);
    ++stats_.centralsCreated;

    deliverRestoration(*central);

    Central* raw = central.get();
    central->determination_ =
        loop_.postAfter(config_.stateDeterminationDelay, raw->liveness_.guarded([this, raw] {
            raw->determined_ = true;
            sendState(*raw);
        }));

    if (authorization_ == BleAuthorization::notDetermined && config_.authorizationPromptAnswer &&
        !promptPending_) {
        promptPending_ = true;
        scheduledChanges_.emplace_back(
            loop_.postAfter(config_.promptDelay, liveness_.guarded([this] {
                promptPending_ = false;
                if (authorization_ == BleAuthorization::notDetermined) {
                    setAuthorization(*config_.authorizationPromptAnswer);
                }
            })));
    }
    return central;
}

void SimBluetoothWorld::deliverRestoration(Central& central) {
    if (!config_.restoration || restorationDelivered_ || !central.options_.restoreIdentifier) {
        return;
    }
    const SimRestoration& restoration = *config_.restoration;
    if (!restoration.restoreIdentifier.empty() &&
        restoration.restoreIdentifier != *central.options_.restoreIdentifier) {
        return;
    }
    restorationDelivered_ = true;

    BleRestoredState restored;
    restored.scanServices = restoration.scanServices;
    restored.scanOptions = restoration.scanOptions;
    if (restoration.peripherals) {
        restored.peripherals.emplace();
        for (const SimRestoredPeripheral& entry : *restoration.peripherals) {
            auto& slot = peripherals_[entry.identifier];
            if (!slot) {
                slot = std::make_shared<SimPeripheral>(entry.identifier, std::nullopt);
            }
            known_.insert(entry.identifier);
            if (entry.connected) {
                Link& link = links_[entry.identifier];
                link.owner = &central;
                ++link.generation;
                slot->setState(PeripheralConnectionState::connected);
                armLinkWatch(entry.identifier);
            }
            restored.peripherals->push_back(slot);
        }
    }
    central.deliver([restored = std::move(restored)](BleCentralDelegate& delegate) {
        delegate.centralWillRestoreState(restored);
    });
}

void SimBluetoothWorld::setRadioState(BleManagerState state) {
    radioState_ = state;
    stateChanged();
}

void SimBluetoothWorld::setAuthorization(BleAuthorization authorization) {
    authorization_ = authorization;
    stateChanged();
}

void SimBluetoothWorld::stateChanged() {
    const BleManagerState effective = effectiveState();
    if (effective == lastEffective_) {
        return;
    }
    lastEffective_ = effective;
    if (effective != BleManagerState::poweredOn) {
        // Losing the radio ends every scan and link at once; centrals learn it from the state.
        for (Central* central : centrals_) {
            central->scanning_ = false;
        }
        dropAllLinks(nullptr);
    }
    for (Central* central : centrals_) {
        if (central->determined_) {
            sendState(*central);
        }
    }
    updateAdvertising();
}

void SimBluetoothWorld::sendState(Central& central) {
    const BleManagerState state = effectiveState();
    if (central.lastSent_ == state) {
        return;
    }
    central.lastSent_ = state;
    Central* raw = &central;
    central.deliver([raw, state](BleCentralDelegate& delegate) {
        raw->observed_ = state;
        if (state != BleManagerState::poweredOn) {
            raw->scanning_ = false;
        }
        delegate.centralDidUpdateState(state);
    });
}

// ---- Advertising ----

void SimBluetoothWorld::updateAdvertising() {
    const bool active = effectiveState() == BleManagerState::poweredOn && isScanning();
    if (active == advertising_) {
        return;
    }
    advertising_ = active;
    for (auto& device : devices_) {
        if (active) {
            scheduleAdvertisement(*device, nowMicros());
        } else {
            device->nextAdvertisement.cancel();
        }
    }
}

std::int64_t SimBluetoothWorld::nextGridTime(const Device& device, std::int64_t fromMicros) const {
    if (fromMicros <= device.phaseMicros) {
        return device.phaseMicros;
    }
    const std::int64_t steps =
        (fromMicros - device.phaseMicros + device.intervalMicros - 1) / device.intervalMicros;
    return device.phaseMicros + steps * device.intervalMicros;
}

void SimBluetoothWorld::scheduleAdvertisement(Device& device, std::int64_t fromMicros) {
    const std::int64_t due = nextGridTime(device, fromMicros);
    Device* raw = &device;
    device.nextAdvertisement = scheduleAt(due, [this, raw, due] { advertise(*raw, due); });
}

Uuid SimBluetoothWorld::identifierAt(const Device& device, double t) const {
    Uuid current = device.identifiers.front().second;
    for (const auto& [from, identifier] : device.identifiers) {
        if (from > t) {
            break;
        }
        current = identifier;
    }
    return current;
}

void SimBluetoothWorld::advertise(Device& device, std::int64_t atMicros) {
    const double t = toSeconds(atMicros);
    const auto sample = device.timeline.at(t);
    if (!sample || !sample->advertising) {
        // Jump straight to the next stretch of advertising instead of ticking through silence.
        if (const auto next = device.timeline.nextAdvertisingFrom(t)) {
            scheduleAdvertisement(device, std::max(toMicros(*next), atMicros + 1));
        }
        return;
    }

    double dbm = sample->dbm;
    if (device.config.noiseSigma > 0) {
        dbm += device.advertisementNoise.gaussian(device.config.noiseSigma);
    }
    const int rssi = toRssi(dbm);
    const Uuid identifier = identifierAt(device, t);
    known_.insert(identifier);
    const PeripheralRef peripheral = peripherals_.at(identifier);
    ++stats_.advertisementsSent;

    for (Central* central : centrals_) {
        if (!central->scanning_) {
            continue;
        }
        if (!central->allowDuplicates_) {
            auto [entry, first] = central->lastReported_.try_emplace(identifier, t);
            if (!first) {
                const auto interval = config_.duplicateReportInterval;
                if (!interval || t - entry->second < *interval) {
                    continue;
                }
                entry->second = t;
            }
        }
        ++stats_.discoveriesDelivered;
        central->deliver(
            [peripheral, advertisement = device.advertisement, rssi](BleCentralDelegate& delegate) {
                delegate.centralDidDiscover(peripheral, *advertisement, rssi);
            });
    }
    scheduleAdvertisement(device, atMicros + 1);
}

// ---- Central operations ----

void SimBluetoothWorld::detach(Central& central) {
    std::erase(centrals_, &central);
    dropAllLinks(&central);
    updateAdvertising();
}

void SimBluetoothWorld::startScan(Central& central, bool allowDuplicates) {
    if (central.observed_ != BleManagerState::poweredOn ||
        effectiveState() != BleManagerState::poweredOn) {
        ++stats_.refusedWhileNotPoweredOn;
        return;
    }
    ++stats_.scanStarts;
    central.scanning_ = true;
    central.allowDuplicates_ = allowDuplicates;
    central.lastReported_.clear();
    updateAdvertising();
}

void SimBluetoothWorld::stopScan(Central& central) {
    central.scanning_ = false;
    updateAdvertising();
}

std::vector<PeripheralRef> SimBluetoothWorld::retrieve(const std::vector<Uuid>& identifiers) const {
    std::vector<PeripheralRef> found;
    for (const Uuid& identifier : identifiers) {
        if (known_.contains(identifier)) {
            found.push_back(peripherals_.at(identifier));
        }
    }
    return found;
}

void SimBluetoothWorld::connect(Central& central, const PeripheralRef& requested) {
    ++stats_.connectRequests;
    if (!requested) {
        return;
    }
    if (central.observed_ != BleManagerState::poweredOn) {
        ++stats_.refusedWhileNotPoweredOn;
        return;
    }
    const Uuid identifier = requested->identifier();
    const auto target = peripheral(identifier);
    if (!target) {
        return;
    }
    Device* device = deviceOf(identifier);
    const double delay = device ? device->config.connection.delay : 0.0;
    Link& link = links_[identifier];
    Central* raw = &central;

    if (target->state() == PeripheralConnectionState::connected) {
        // A link the platform already holds is handed to this central.
        link.owner = raw;
        const std::uint64_t generation = ++link.generation;
        link.timer = scheduleAt(nowMicros() + toMicros(delay), [this, raw, identifier, generation] {
            auto found = links_.find(identifier);
            if (found == links_.end() || found->second.generation != generation) {
                return;
            }
            raw->deliver([p = peripherals_.at(identifier)](BleCentralDelegate& delegate) {
                delegate.centralDidConnect(p);
            });
            armLinkWatch(identifier);
        });
        return;
    }
    if (target->state() == PeripheralConnectionState::connecting) {
        link.owner = raw;
        return;
    }

    target->setState(PeripheralConnectionState::connecting);
    link.owner = raw;
    const std::uint64_t generation = ++link.generation;
    if (!device) {
        return;  // nothing out there answers
    }
    switch (device->config.connection.outcome) {
        case SimConnectOutcome::neverComplete:
            return;
        case SimConnectOutcome::fail:
            link.timer = scheduleAt(nowMicros() + toMicros(delay), [this, identifier, generation] {
                auto found = links_.find(identifier);
                if (found == links_.end() || found->second.generation != generation) {
                    return;
                }
                Central* owner = found->second.owner;
                auto p = peripherals_.at(identifier);
                p->setState(PeripheralConnectionState::disconnected);
                found->second.owner = nullptr;
                ++found->second.generation;
                if (owner) {
                    owner->deliver(
                        [p, error = deviceOf(identifier)->config.connection.failureError](
                            BleCentralDelegate& delegate) {
                            delegate.centralDidFailToConnect(p, error);
                        });
                }
            });
            return;
        case SimConnectOutcome::succeed:
            attemptLink(identifier);
            return;
    }
}

void SimBluetoothWorld::attemptLink(const Uuid& identifier) {
    Device* device = deviceOf(identifier);
    Link& link = links_[identifier];
    const std::uint64_t generation = link.generation;
    const double t = elapsed();
    if (!device->timeline.inRange(t)) {
        // A connection request waits for the device to come back, as a real one does.
        if (const auto back = device->timeline.nextInRangeFrom(t)) {
            link.timer = scheduleAt(
                std::max(toMicros(*back), nowMicros() + 1), [this, identifier, generation] {
                    auto found = links_.find(identifier);
                    if (found != links_.end() && found->second.generation == generation) {
                        attemptLink(identifier);
                    }
                });
        }
        return;
    }
    link.timer = scheduleAt(
        nowMicros() + toMicros(device->config.connection.delay), [this, identifier, generation] {
            auto found = links_.find(identifier);
            if (found == links_.end() || found->second.generation != generation) {
                return;
            }
            if (!deviceOf(identifier)->timeline.inRange(elapsed())) {
                attemptLink(identifier);
                return;
            }
            auto p = peripherals_.at(identifier);
            p->setState(PeripheralConnectionState::connected);
            if (Central* owner = found->second.owner) {
                owner->deliver(
                    [p](BleCentralDelegate& delegate) { delegate.centralDidConnect(p); });
            }
            armLinkWatch(identifier);
        });
}

void SimBluetoothWorld::armLinkWatch(const Uuid& identifier) {
    Device* device = deviceOf(identifier);
    if (!device) {
        return;  // a restored peripheral with no device behind it keeps its link
    }
    Link& link = links_[identifier];
    const std::uint64_t generation = link.generation;
    const auto leaves = device->timeline.nextOutOfRangeFrom(elapsed());
    if (!leaves) {
        return;
    }
    const std::int64_t due =
        std::max(toMicros(*leaves + device->config.connection.supervisionTimeout), nowMicros());
    link.timer = scheduleAt(due, [this, identifier, generation] {
        auto found = links_.find(identifier);
        if (found == links_.end() || found->second.generation != generation) {
            return;
        }
        if (deviceOf(identifier)->timeline.inRange(elapsed())) {
            armLinkWatch(identifier);  // back before the link timed out
            return;
        }
        Central* owner = found->second.owner;
        auto p = peripherals_.at(identifier);
        dropLink(found->second, *p);
        if (owner) {
            owner->deliver([p](BleCentralDelegate& delegate) {
                delegate.centralDidDisconnect(p, std::string(kLinkTimeoutError));
            });
        }
    });
}

void SimBluetoothWorld::dropLink(Link& link, SimPeripheral& peripheral) {
    peripheral.setState(PeripheralConnectionState::disconnected);
    link.owner = nullptr;
    ++link.generation;
    link.timer.cancel();
}

void SimBluetoothWorld::dropAllLinks(Central* onlyOf) {
    for (auto& [identifier, link] : links_) {
        if (onlyOf && link.owner != onlyOf) {
            continue;
        }
        auto p = peripherals_.at(identifier);
        if (p->state() != PeripheralConnectionState::disconnected || link.owner) {
            dropLink(link, *p);
        }
    }
}

void SimBluetoothWorld::cancelConnection(Central& central, const PeripheralRef& requested) {
    ++stats_.cancelRequests;
    if (!requested) {
        return;
    }
    const Uuid identifier = requested->identifier();
    auto found = links_.find(identifier);
    const auto p = peripheral(identifier);
    if (found == links_.end() || !p || found->second.owner != &central) {
        return;
    }
    const bool wasConnected = p->state() == PeripheralConnectionState::connected;
    dropLink(found->second, *p);
    if (wasConnected) {
        central.deliver(
            [p](BleCentralDelegate& delegate) { delegate.centralDidDisconnect(p, std::nullopt); });
    }
}

void SimBluetoothWorld::readRSSI(Central& central, const PeripheralRef& requested) {
    ++stats_.rssiReadRequests;
    if (!requested) {
        return;
    }
    const Uuid identifier = requested->identifier();
    const auto p = peripheral(identifier);
    auto found = links_.find(identifier);
    Device* device = deviceOf(identifier);
    if (!p || !device || found == links_.end() || found->second.owner != &central ||
        p->state() != PeripheralConnectionState::connected) {
        // Without a link the request goes nowhere and nothing answers.
        ++stats_.rssiReadsWithoutLink;
        return;
    }
    const std::uint64_t generation = found->second.generation;
    Central* raw = &central;
    // The read is scheduled on its own; the link's timer keeps watching the range.
    scheduleAt(nowMicros() + toMicros(device->config.connection.readDelay),
               [this, raw, identifier, generation, device] {
                   auto link = links_.find(identifier);
                   if (link == links_.end() || link->second.generation != generation) {
                       return;
                   }
                   auto target = peripherals_.at(identifier);
                   if (const auto& error = device->config.connection.readError) {
                       raw->deliver([target, error = *error](BleCentralDelegate& delegate) {
                           delegate.peripheralDidReadRSSI(target, 0, error);
                       });
                       return;
                   }
                   const auto sample = device->timeline.at(elapsed());
                   if (!sample) {
                       return;  // the device has left; the link is about to time out
                   }
                   double dbm = sample->dbm;
                   if (device->config.noiseSigma > 0) {
                       dbm += device->linkNoise.gaussian(device->config.noiseSigma);
                   }
                   raw->deliver([target, rssi = toRssi(dbm)](BleCentralDelegate& delegate) {
                       delegate.peripheralDidReadRSSI(target, rssi, std::nullopt);
                   });
               });
}

}  // namespace ambleguard::sim
