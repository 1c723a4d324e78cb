#pragma once

#include "base/Log.h"
#include "platform/Clock.h"
#include "platform/Notifier.h"
#include "presence/OutOfRangeNotifier.h"
#include "presence/PresenceEngine.h"
#include "presence/SignalReadout.h"
#include "settings/SettingsStore.h"

#include <random>
#include <string>

namespace ambleguard {

// Sends the "device out of range" and "device stopped responding" notifications.
class OutOfRangeAlerts final : public OutOfRangeNotifier {
  public:
    // `engine` supplies the time of the newest reading, `readout` the averaged signal.
    OutOfRangeAlerts(const Clock& clock, const SettingsStore& settings, Notifier& notifier,
                     const PresenceEngine& engine, const SignalReadout& readout, LogSink& logSink);

    void showNotification(PresenceEngine::GoneReason reason) override;

  private:
    std::string bodyFor(PresenceEngine::GoneReason reason, const std::string& name) const;
    std::string newIdentifier();

    const Clock& clock_;
    const SettingsStore& settings_;
    Notifier& notifier_;
    const PresenceEngine& engine_;
    const SignalReadout& readout_;
    Logger log_;
    std::mt19937_64 random_;
};

}  // namespace ambleguard
