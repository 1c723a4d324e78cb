#pragma once

#include "actions/ActivityGate.h"
#include "actions/AwayActionSequencer.h"
#include "actions/ReturnActionSequencer.h"
#include "actions/ScheduleGate.h"
#include "actions/ScreenLockControl.h"
#include "actions/ShortcutRunner.h"
#include "actions/ShortcutSequencingState.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimProcessLauncher.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "unlock/UnlockInterfaces.h"

#include <string>
#include <vector>

namespace ambleguard::test {

// Small fakes of the gates and of the lock and unlock components. Each counts how often it was
// asked, so a test can see which guards were reached.
struct FakeScreenLock final : ScreenLockControl {
    bool locked = false;
    int directLocks = 0;
    int screenSaverStarts = 0;
    bool isLocked() const override { return locked; }
    void lockScreenDirectly() override { ++directLocks; }
    void startScreenSaver() override { ++screenSaverStarts; }
};

struct FakeSchedule final : ScheduleGate {
    bool suppress = false;
    int asked = 0;
    bool shouldSuppress() override {
        ++asked;
        return suppress;
    }
};

struct FakeActivity final : ActivityGate {
    DeferDecision decision;
    int asked = 0;
    std::optional<double> idleTime() override { return std::nullopt; }
    DeferDecision shouldDefer() override {
        ++asked;
        return decision;
    }
};

struct FakeUnlockTest final : UnlockTestStatus {
    bool running = false;
    mutable int asked = 0;
    bool isRunning() const override {
        ++asked;
        return running;
    }
};

struct FakeUnlocker final : ScreenUnlocking {
    int calls = 0;
    bool unlockScreen() override {
        ++calls;
        return true;
    }
};

struct FakeUnlockOnTouch final : UnlockOnTouchControl {
    std::vector<bool> arms;  // the unlockIfRecentInput of each call
    bool arm(bool unlockIfRecentInput) override {
        arms.push_back(unlockIfRecentInput);
        return true;
    }
    void deviceConfirmedGone(std::string_view) override {}
};

inline constexpr const char* kTool = "/usr/bin/shortcuts";

// The away and return sequencing wired together in virtual time, as the program wires them,
// with onboarding done and scanning allowed.
struct ActionsTestWorld {
    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::MemorySettings persistence;
    sim::RecordingLogSink log;
    sim::RecordingConsole console;
    SettingsStore store{persistence, log};
    FakeScreenLock screenLock;
    FakeSchedule schedule;
    FakeActivity activity;
    FakeUnlockTest unlockTest;
    FakeUnlocker unlocker;
    FakeUnlockOnTouch unlockOnTouch;
    sim::SimProcessLauncher launcher{loop};
    ShortcutsToolCommands shortcutCommands{kTool};
    ShortcutRunner shortcuts{shortcutCommands, launcher, loop, log};
    ShortcutSequencingState sequencing{log};
    Published<DevicePresenceState> presence;
    AwayActionSequencer away{store,      presence, clock,    loop,       log,       console,
                             screenLock, schedule, activity, unlockTest, shortcuts, sequencing};
    ReturnActionSequencer returns{store,         presence,   clock,     loop,       log,
                                  console,       screenLock, schedule,  unlockTest, unlocker,
                                  unlockOnTouch, shortcuts,  sequencing};

    ActionsTestWorld() {
        store.setBool(keys::userHasCompletedOnboarding, true);
        store.setBool(keys::canScan, true);
        log.clear();
    }

    // Published as the pipeline does: the typed value and the persisted copy.
    void setPresence(const char* state) {
        presence.set(parseDevicePresenceState(state).value());
        store.setString(keys::devicePresenceState, state);
    }
    void setDateAgo(std::string_view key, double seconds) {
        store.setDate(key, addSeconds(clock.now(), -seconds));
    }
    // Shortcut mode with both shortcuts named.
    void useShortcuts(std::string awayName = "Away", std::string returnName = "Back") {
        store.setString(keys::lockMode, "Run Shortcut");
        store.setString(keys::shortcutNameOnLock, std::move(awayName));
        store.setString(keys::shortcutNameOnReturn, std::move(returnName));
    }
    // The device leaves: the presence is published, then the away entry runs.
    void depart(const char* state = "Absent") {
        setPresence(state);
        away.performAwayAction();
    }
    // The device comes back: the two return actions, in the pipeline's order.
    void comeBack() {
        setPresence("Present");
        returns.performReturnAction();
        returns.performUnlockOnReturn();
    }
    bool awayRan() const { return store.boolForKey(keys::awayShortcutRanForCurrentEvent); }
    std::vector<std::string> shortcutsRun() const { return launcher.lastArguments(); }
    bool logged(std::string_view text) const { return log.contains(text); }
};

}  // namespace ambleguard::test
