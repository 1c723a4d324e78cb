#pragma once

#include "actions/AwayActions.h"
#include "actions/ReturnActions.h"
#include "actions/ScheduleGate.h"
#include "actions/ScreenLockControl.h"
#include "base/Log.h"
#include "base/Signal.h"
#include "bluetooth/CentralLifecycle.h"
#include "bluetooth/ConnectionAttempts.h"
#include "bluetooth/ScannerControl.h"
#include "feedback/EventSounds.h"
#include "platform/Clock.h"
#include "presence/OutOfRangeNotifier.h"
#include "presence/PresenceEngine.h"
#include "presence/ReadingPipeline.h"
#include "settings/SettingsStore.h"
#include "unlock/UnlockInterfaces.h"

#include <string>
#include <string_view>

namespace ambleguard {

// Carries out what follows from the pipeline's decisions: the departure's sound, alert and away
// action, the return's sound and actions, the engine's probes, the Bluetooth reset after a run
// of zero readings, and the lock decision when Bluetooth itself goes away. Also what a screen
// lock or unlock means for monitoring. Main queue only.
class PresenceReactions final {
  public:
    struct Dependencies {
        const Clock& clock;
        SettingsStore& settings;
        LogSink& logSink;
        ReadingPipeline& pipeline;
        ScannerControl& scanner;
        ConnectionAttempts& connections;
        EventSounds& sounds;
        const ScreenLockControl& screenLock;
        ScheduleGate& schedule;
        AwayActions& awayActions;
        ReturnActions& returnActions;
        UnlockOnTouchControl& unlockOnTouch;
        OutOfRangeNotifier& notifications;
    };

    explicit PresenceReactions(const Dependencies& deps);
    PresenceReactions(const PresenceReactions&) = delete;
    PresenceReactions& operator=(const PresenceReactions&) = delete;

    void handlePresenceEffect(const PresenceEngine::Effect& effect);
    // `noticeName` is kScreenLockedNotice or kScreenUnlockedNotice; others are ignored.
    void handleScreenLockChange(std::string_view noticeName);
    void decideLockOnBluetoothLoss(BluetoothLoss loss);

  private:
    void handleDeviceGone(PresenceEngine::GoneReason reason);
    std::string timeAgo(std::string_view key, Instant now) const;

    const Clock& clock_;
    SettingsStore& settings_;
    Logger log_;
    ReadingPipeline& pipeline_;
    ScannerControl& scanner_;
    ConnectionAttempts& connections_;
    EventSounds& sounds_;
    const ScreenLockControl& screenLock_;
    ScheduleGate& schedule_;
    AwayActions& awayActions_;
    ReturnActions& returnActions_;
    UnlockOnTouchControl& unlockOnTouch_;
    OutOfRangeNotifier& notifications_;

    Connection effects_;
    Connection confirmedGone_;
    Connection resetRequests_;
};

}  // namespace ambleguard
