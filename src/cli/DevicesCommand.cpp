#include "cli/DevicesCommand.h"

#include "app/DeviceSelection.h"
#include "base/Liveness.h"
#include "base/TextEscaping.h"
#include "bluetooth/AltBeacon.h"
#include "bluetooth/DeviceDiscovery.h"
#include "platform/linux/BlueZCentral.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/linux/QtWorkerThread.h"
#include "platform/posix/JsonSettingsFile.h"
#include "platform/posix/StreamSinks.h"
#include "platform/posix/SystemClock.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <fmt/format.h>

#include <charconv>
#include <map>
#include <mutex>

namespace ambleguard::cli {

namespace {

// Readings and connections have no use while only listing devices.
class IgnoredReadings final : public ReadingSink, public SignalStateResets {
  public:
    void processRSSI(int) override {}
    void recordRSSIFailure(std::string_view) override {}
    void shortReset() override {}
    void fullReset() override {}
    void dropFilter() override {}
};

class NoConnections final : public ConnectionAttempts {
  public:
    void attemptConnection(std::string_view) override {}
    void tearDownConnectionFeed(std::string_view, bool) override {}
    void setOnboardingCalibrationConnectAllowed(bool) override {}
};

// A Bluetooth scan feeding the same discovery tables the program uses, without the rest of the
// program: nothing here can lock the screen or run a shortcut.
class DeviceScan final : public BleCentralDelegate {
  public:
    DeviceScan()
        : log_(clock_, LogLevel::error),
          file_(posix::JsonSettingsFile::defaultPath(), clock_),
          settings_(file_, log_),
          discovery(clock_, mainQueue_, thread_, settings_, log_, readings_, connections_,
                    readings_),
          port_(thread_, QDBusConnection::systemBus(), log_) {
        central_ = port_.createCentral(*this, thread_, {});
    }
    ~DeviceScan() override { central_.reset(); }

    // Runs the event loop for up to `seconds`, or until `done` holds.
    void run(double seconds, const std::function<bool()>& done = {}) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < static_cast<qint64>(seconds * 1000) && !(done && done())) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(5);
        }
    }
    // The device list, as published after everything seen so far.
    std::vector<PeripheralRef> deviceList() {
        discovery.publishDeviceList();
        run(0.3);
        return discovery.peripherals();
    }

    std::optional<int> rssi(const Uuid& id) const {
        std::lock_guard lock(mutex_);
        auto it = rssi_.find(id);
        return it != rssi_.end() ? std::optional<int>(it->second) : std::nullopt;
    }
    std::optional<std::string> beacon(const Uuid& id) const {
        std::lock_guard lock(mutex_);
        auto it = beacons_.find(id);
        return it != beacons_.end() ? std::optional<std::string>(it->second) : std::nullopt;
    }
    BleManagerState state() const {
        return central_ ? central_->state() : BleManagerState::unknown;
    }
    PeripheralRef known(const Uuid& id) {
        auto found = central_->retrievePeripherals({id});
        return found.empty() ? nullptr : found.front();
    }
    SettingsStore& settings() { return settings_; }
    LogSink& log() { return log_; }

    // Bluetooth thread.
    void centralDidUpdateState(BleManagerState state) override {
        // central_ belongs to the main thread, which sets it when createCentral returns and
        // resets it on the way out. The first state can arrive before the one and a late one
        // during the other, so it is only ever read there.
        if (state == BleManagerState::poweredOn) {
            mainQueue_.post(liveness_.guarded([this] {
                if (central_) {
                    central_->scanForPeripherals(true);
                }
            }));
        }
    }
    void centralWillRestoreState(const BleRestoredState&) override {}
    void centralDidDiscover(const PeripheralRef& peripheral, const AdvertisementData& advertisement,
                            int rssi) override {
        {
            std::lock_guard lock(mutex_);
            rssi_[peripheral->identifier()] = rssi;
            if (auto frame = parseBeaconFrame(advertisement)) {
                beacons_[peripheral->identifier()] = beaconLabel(*frame);
            }
        }
        discovery.handleDiscovery(peripheral, advertisement, rssi);
    }
    void centralDidConnect(const PeripheralRef&) override {}
    void centralDidFailToConnect(const PeripheralRef&, const std::optional<std::string>&) override {
    }
    void centralDidDisconnect(const PeripheralRef&, const std::optional<std::string>&) override {}
    void peripheralDidReadRSSI(const PeripheralRef&, int,
                               const std::optional<std::string>&) override {}

  private:
    posix::SystemClock clock_;
    posix::StderrLogSink log_;
    linuxdesktop::QtMainQueue mainQueue_;
    linuxdesktop::QtWorkerThread thread_{"bluetooth"};
    posix::JsonSettingsFile file_;
    SettingsStore settings_;
    IgnoredReadings readings_;
    NoConnections connections_;

  public:
    DeviceDiscovery discovery;

  private:
    linuxdesktop::BlueZCentralPort port_;
    std::unique_ptr<BleCentral> central_;
    mutable std::mutex mutex_;
    std::map<Uuid, int> rssi_;
    std::map<Uuid, std::string> beacons_;
    LivenessToken liveness_;
};

std::string stateText(BleManagerState state) {
    switch (state) {
        case BleManagerState::unknown:
            return "unknown";
        case BleManagerState::resetting:
            return "resetting";
        case BleManagerState::unsupported:
            return "unsupported (no BlueZ or no adapter)";
        case BleManagerState::unauthorized:
            return "refused by BlueZ";
        case BleManagerState::poweredOff:
            return "off";
        case BleManagerState::poweredOn:
            return "on";
    }
    return "unknown";
}

bool parseSeconds(const std::string& text, double& seconds) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value > 0) || value > 3600) {
        return false;
    }
    seconds = value;
    return true;
}

std::string displayName(DeviceScan& scan, const Peripheral& peripheral) {
    if (auto own = peripheral.name()) {
        return *own;
    }
    return scan.discovery.resolvedName(peripheral).value_or("");
}

}  // namespace

int runDevicesCommand(int argc, char** argv, const Arguments& args, const Streams& io) {
    double seconds = 8;
    bool json = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (isHelpFlag(args[i])) {
            fmt::print(io.out,
                       "Usage: ambleguard devices [--seconds N] [--json]\n"
                       "Scans for N seconds (default 8) and lists nearby devices: identifier,\n"
                       "RSSI, paired mark, name and beacon label, paired devices first.\n"
                       "--json prints one object per line: id, name, rssi, beacon, paired.\n");
            return kExitOk;
        }
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--seconds" && i + 1 < args.size() &&
                   parseSeconds(args[i + 1], seconds)) {
            ++i;
        } else {
            fmt::print(io.err, "ambleguard devices: bad argument \"{}\"\n", printable(args[i]));
            return kExitUsage;
        }
    }
    QCoreApplication application(argc, argv);
    DeviceScan scan;
    scan.run(seconds);
    const auto list = scan.deviceList();
    if (scan.state() != BleManagerState::poweredOn) {
        fmt::print(io.err, "ambleguard devices: Bluetooth is {}\n", stateText(scan.state()));
    }
    for (const auto& peripheral : list) {
        const Uuid id = peripheral->identifier();
        const std::string name = displayName(scan, *peripheral);
        const auto rssi = scan.rssi(id);
        const auto beacon = scan.beacon(id);
        if (json) {
            fmt::print(io.out,
                       "{{\"id\":{},\"name\":{},\"rssi\":{},\"beacon\":{},\"paired\":{}}}\n",
                       jsonString(id.toString()), name.empty() ? "null" : jsonString(name),
                       rssi ? std::to_string(*rssi) : "null", beacon ? jsonString(*beacon) : "null",
                       peripheral->isPaired());
        } else {
            fmt::print(io.out, "{}  {:>4}  {:<6}  {}{}\n", id.toString(),
                       rssi ? std::to_string(*rssi) : "-", peripheral->isPaired() ? "paired" : "-",
                       printable(name.empty() ? "Unknown" : name),
                       beacon ? "  beacon " + printable(*beacon) : "");
        }
    }
    if (list.empty() && !json) {
        fmt::print(io.err, "ambleguard devices: no devices found in {} seconds\n", seconds);
    }
    return scan.state() == BleManagerState::poweredOn ? kExitOk : kExitNotFound;
}

int runTrackCommand(int argc, char** argv, const Arguments& args, const Streams& io) {
    double seconds = 10;
    std::optional<Uuid> wanted;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (isHelpFlag(args[i])) {
            fmt::print(io.out,
                       "Usage: ambleguard track ID [--seconds N]\n"
                       "Chooses the device with identifier ID (from `ambleguard devices`) as the\n"
                       "tracked device, as choosing it in the device list does. It must be seen\n"
                       "within N seconds (default 10) or be known to the Bluetooth stack.\n"
                       "Phones and watches must be paired with this computer first.\n");
            return kExitOk;
        }
        if (args[i] == "--seconds" && i + 1 < args.size() && parseSeconds(args[i + 1], seconds)) {
            ++i;
        } else if (!wanted && Uuid::parse(args[i])) {
            wanted = Uuid::parse(args[i]);
        } else {
            fmt::print(io.err, "ambleguard track: bad argument \"{}\"\n", printable(args[i]));
            return kExitUsage;
        }
    }
    if (!wanted) {
        fmt::print(io.err, "ambleguard track: which device? Give its identifier\n");
        return kExitUsage;
    }
    QCoreApplication application(argc, argv);
    DeviceScan scan;
    PeripheralRef chosen;
    scan.run(seconds, [&] {
        for (const auto& peripheral : scan.discovery.peripherals()) {
            if (peripheral->identifier() == *wanted) {
                chosen = peripheral;
            }
        }
        if (!chosen) {
            scan.discovery.publishDeviceList();
        }
        return chosen != nullptr;
    });
    if (!chosen && scan.state() == BleManagerState::poweredOn) {
        chosen = scan.known(*wanted);
    }
    if (!chosen) {
        fmt::print(io.err, "ambleguard track: no device {} nearby (Bluetooth is {})\n",
                   wanted->toString(), stateText(scan.state()));
        return kExitNotFound;
    }
    DeviceSelection selection(scan.settings(), scan.discovery, scan.log());
    const auto outcome = selection.select(*chosen);
    // What "Continue" does at the end of onboarding.
    scan.settings().setBool(keys::userHasCompletedOnboarding, true);
    scan.settings().setBool(keys::canScan, true);
    const bool saved = scan.settings().synchronize();
    fmt::print(io.out, "Tracking {} ({})\n", printable(outcome.name),
               chosen->identifier().toString());
    if (outcome.warning) {
        fmt::print(io.err,
                   "warning: {}\n  To pair: `bluetoothctl`, then `scan on`, `pair ADDRESS` and "
                   "`trust ADDRESS`; or use the desktop's Bluetooth settings.\n",
                   *outcome.warning);
    }
    if (!saved) {
        return kExitUnsaved;
    }
    fmt::print(io.out, "Restart ambleguard if it is running, so it follows the new choice.\n");
    return kExitOk;
}

}  // namespace ambleguard::cli
