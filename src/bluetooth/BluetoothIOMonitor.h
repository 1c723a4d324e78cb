#pragma once

#include "base/Executor.h"
#include "base/Log.h"
#include "base/Signal.h"
#include "platform/BluetoothController.h"
#include "platform/Clock.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>

namespace ambleguard {

// Writes down what the Bluetooth host controller does, independently of the central role, so
// that a log taken from a user's machine shows it: events of the controller's service and
// changes of its properties, with a short history that an on-demand check and a summary print.
// It never influences scanning or presence.
//
// Threads: every event and property read runs on the one queue given, which serialises the
// last-seen values and the history; call the on-demand operations there too.
class BluetoothIOMonitor final {
  public:
    static constexpr std::size_t kMaxHistoryItems = 10;
    // The service messages' numbers, as they appear in the log.
    static constexpr std::uint32_t kMessageServiceIsTerminated = 0xE0000010;
    static constexpr std::uint32_t kMessageServiceIsSuspended = 0xE0000020;
    static constexpr std::uint32_t kMessageServiceIsResumed = 0xE0000030;
    static constexpr std::uint32_t kMessageServiceIsRequestingClose = 0xE0000100;
    static constexpr std::uint32_t kMessageServiceWasClosed = 0xE0000110;
    static constexpr std::uint32_t kMessageServiceBusyStateChange = 0xE0000120;

    // Subscribes to the controller's events and reads its properties once.
    BluetoothIOMonitor(BluetoothController& controller, Executor& queue, const Clock& clock,
                       LogSink& logSink);
    BluetoothIOMonitor(const BluetoothIOMonitor&) = delete;
    BluetoothIOMonitor& operator=(const BluetoothIOMonitor&) = delete;

    void recordEvent(std::string text);
    void readProperties();
    void runDiagnosticCheck();
    std::string diagnosticSummary() const;

    // The service reported an event (on the queue).
    void handleEvent(ControllerEvent event);

    const std::deque<std::pair<Instant, std::string>>& stateChangeHistory() const {
        return stateChangeHistory_;
    }
    std::optional<std::int64_t> lastPowerState() const { return lastPowerState_; }
    std::optional<std::int64_t> lastLinkQuality() const { return lastLinkQuality_; }
    std::optional<std::int64_t> lastRSSIThreshold() const { return lastRSSIThreshold_; }

  private:
    void trackChange(std::optional<std::int64_t>& last, std::int64_t value, std::string_view what);

    BluetoothController& controller_;
    const Clock& clock_;
    Logger log_;
    bool subscribed_ = false;
    std::optional<std::int64_t> lastPowerState_;
    std::optional<std::int64_t> lastLinkQuality_;
    std::optional<std::int64_t> lastRSSIThreshold_;
    std::deque<std::pair<Instant, std::string>> stateChangeHistory_;
    // Last: dropped first, so no event reaches a half-destroyed monitor.
    Connection subscription_;
};

}  // namespace ambleguard
