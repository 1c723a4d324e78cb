#include "bluetooth/BluetoothIOMonitor.h"

#include "base/Time.h"

#include <fmt/format.h>

namespace ambleguard {

namespace {

std::uint32_t messageCode(const ControllerEvent& event) {
    switch (event.kind) {
        case ControllerEventKind::terminated:
            return BluetoothIOMonitor::kMessageServiceIsTerminated;
        case ControllerEventKind::suspended:
            return BluetoothIOMonitor::kMessageServiceIsSuspended;
        case ControllerEventKind::resumed:
            return BluetoothIOMonitor::kMessageServiceIsResumed;
        case ControllerEventKind::requestingClose:
            return BluetoothIOMonitor::kMessageServiceIsRequestingClose;
        case ControllerEventKind::wasClosed:
            return BluetoothIOMonitor::kMessageServiceWasClosed;
        case ControllerEventKind::busyStateChanged:
            return BluetoothIOMonitor::kMessageServiceBusyStateChange;
        case ControllerEventKind::other:
            break;
    }
    return event.code;
}

std::string describe(const ControllerEvent& event) {
    switch (event.kind) {
        case ControllerEventKind::terminated:
            return "Service terminated";
        case ControllerEventKind::suspended:
            return "Service suspended";
        case ControllerEventKind::resumed:
            return "Service resumed";
        case ControllerEventKind::requestingClose:
            return "Service requesting close";
        case ControllerEventKind::wasClosed:
            return "Service was closed";
        case ControllerEventKind::busyStateChanged:
            return "Service busy state changed";
        case ControllerEventKind::other:
            break;
    }
    return fmt::format("Unknown state change ({})", event.code);
}

const std::int64_t* integer(const ControllerProperties& properties, std::string_view key) {
    const auto found = properties.find(key);
    return found == properties.end() ? nullptr : std::get_if<std::int64_t>(&found->second);
}

}  // namespace

BluetoothIOMonitor::BluetoothIOMonitor(BluetoothController& controller, Executor& queue,
                                       const Clock& clock, LogSink& logSink)
    : controller_(controller), clock_(clock), log_(logSink, "BluetoothIO") {
    auto watch = controller_.watch(queue, [this](ControllerEvent event) { handleEvent(event); });
    if (!watch) {
        const ControllerWatchError& error = watch.error();
        switch (error.step) {
            case ControllerWatchError::Step::noController:
                log_.error("Failed to get Bluetooth service");
                recordEvent("Failed to get Bluetooth service");
                break;
            case ControllerWatchError::Step::noEventSource:
                log_.error("Failed to create notification port");
                recordEvent("Failed to create notification port");
                break;
            case ControllerWatchError::Step::subscriptionFailed:
                log_.error("Failed to setup Bluetooth state notifications: {}", error.code);
                recordEvent(fmt::format("Failed to setup Bluetooth notifications: {}", error.code));
                break;
        }
        return;
    }
    subscription_ = std::move(watch).value();
    subscribed_ = true;
    readProperties();
}

void BluetoothIOMonitor::recordEvent(std::string text) {
    const Instant now = clock_.now();
    log_.debug("Diagnostic Event [{}]: {}", formatIso8601(now), text);
    stateChangeHistory_.emplace_back(now, std::move(text));
    if (stateChangeHistory_.size() > kMaxHistoryItems) {
        stateChangeHistory_.pop_front();
    }
}

void BluetoothIOMonitor::handleEvent(ControllerEvent event) {
    log_.debug("Bluetooth state change detected - Message type: {}",
               static_cast<std::int32_t>(messageCode(event)));
    recordEvent("State change: " + describe(event));
    readProperties();
}

void BluetoothIOMonitor::trackChange(std::optional<std::int64_t>& last, std::int64_t value,
                                     std::string_view what) {
    if (last != value) {
        recordEvent(fmt::format("{} changed: {} -> {}", what, last.value_or(-1), value));
        last = value;
    }
}

void BluetoothIOMonitor::readProperties() {
    if (!subscribed_) {
        // Without a controller there is nothing to read; only the on-demand output remains.
        return;
    }
    const ControllerReading reading = controller_.readProperties();
    if (reading.status != 0) {
        log_.error("Failed to create property iterator: {}", reading.status);
        recordEvent(fmt::format("Failed to create property iterator: {}", reading.status));
        return;
    }
    for (const ControllerEntry& entry : reading.entries) {
        if (entry.status != 0 || !entry.properties) {
            recordEvent(fmt::format("Failed to get service properties: {}", entry.status));
            continue;
        }
        const ControllerProperties& properties = *entry.properties;
        if (const auto* power = integer(properties, "BT Power State")) {
            trackChange(lastPowerState_, *power, "Power state");
            log_.debug("Bluetooth Power State: {}", *power);
        }
        if (const auto* threshold = integer(properties, "RSSIThreshold")) {
            trackChange(lastRSSIThreshold_, *threshold, "RSSI threshold");
            log_.debug("RSSI Threshold: {}", *threshold);
        }
        if (const auto* quality = integer(properties, "LinkQuality")) {
            trackChange(lastLinkQuality_, *quality, "Link quality");
            log_.debug("Link Quality: {}", *quality);
        }
        if (const auto found = properties.find("ErrorStates"); found != properties.end()) {
            if (const auto* errors = std::get_if<std::vector<std::string>>(&found->second)) {
                for (const std::string& error : *errors) {
                    recordEvent("Error state detected: " + error);
                }
                log_.error("Bluetooth Error States: [{}]", fmt::join(*errors, ", "));
            }
        }
        if (const auto* radio = integer(properties, "RadioState")) {
            log_.debug("Radio State: {}", *radio);
            recordEvent(fmt::format("Radio state: {}", *radio));
        }
        if (const auto* rfcomm = integer(properties, "RFCOMMState")) {
            log_.debug("RF Comm State: {}", *rfcomm);
            recordEvent(fmt::format("RF Comm state: {}", *rfcomm));
        }
        if (const auto found = properties.find("TransportInfo"); found != properties.end()) {
            if (const auto* info =
                    std::get_if<std::map<std::string, std::string>>(&found->second)) {
                std::string text;
                for (const auto& [key, value] : *info) {
                    text += fmt::format("{}{} = {}", text.empty() ? "" : ", ", key, value);
                }
                log_.debug("Transport Info: {{{}}}", text);
                recordEvent("Transport info updated");
            }
        }
    }
}

void BluetoothIOMonitor::runDiagnosticCheck() {
    log_.debug("RSSI measurement failure detected - performing diagnostic check");
    log_.debug("Recent state changes:");
    for (const auto& [at, text] : stateChangeHistory_) {
        log_.debug("  {}: {}", formatIso8601(at), text);
    }
    readProperties();
    if (lastLinkQuality_ && *lastLinkQuality_ < 50) {
        log_.error("Poor link quality detected: {}", *lastLinkQuality_);
    }
    if (lastPowerState_ && *lastPowerState_ == 0) {
        log_.error("Bluetooth power is off");
    }
    if (lastRSSIThreshold_) {
        log_.debug("Current RSSI threshold: {}", *lastRSSIThreshold_);
    }
}

std::string BluetoothIOMonitor::diagnosticSummary() const {
    std::string summary = "Bluetooth Diagnostic Summary:\n";
    summary += fmt::format("Power State: {}\n", lastPowerState_.value_or(-1));
    summary += fmt::format("Link Quality: {}\n", lastLinkQuality_.value_or(-1));
    summary += fmt::format("RSSI Threshold: {}\n", lastRSSIThreshold_.value_or(-1));
    summary += "\nRecent Events:\n";
    for (const auto& [at, text] : stateChangeHistory_) {
        summary += fmt::format("{}: {}\n", formatIso8601(at), text);
    }
    return summary;
}

}  // namespace ambleguard
