#pragma once

#include "feedback/EventSounds.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimIdleClock.h"
#include "platform/sim/SimKeychain.h"
#include "platform/sim/SimLockScreen.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimScreenSession.h"
#include "platform/sim/SimSystemPower.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "unlock/PasswordStore.h"
#include "unlock/ScreenUnlocker.h"

#include <string>
#include <vector>

namespace ambleguard::test {

// A password longer than 20 UTF-16 units with an emoji (two units) straddling the first cut.
inline const std::string kPassword = "walkme\xF0\x9F\x90\x8E gallops home";  // 21 units

struct RecordingSounds final : EventSounds {
    std::vector<SoundEvent> played;
    void play(SoundEvent event) override { played.push_back(event); }
};

// The simulated session, lock screen and keychain around one screen unlocker.
struct UnlockTestWorld {
    explicit UnlockTestWorld(UnlockMethod method = UnlockMethod::keystrokes)
        : lockScreen(session, idleClock, loop, clock,
                     sim::SimLockScreenConfig{.password = kPassword}),
          unlocker(ScreenUnlocker::Dependencies{
              .settings = store,
              .screenLocked = [this] { return session.screenLocked(); },
              .method = method,
              .keys = lockScreen,
              .sessionUnlock = lockScreen,
              .userActivity = lockScreen,
              .passwords = passwords,
              .sounds = sounds,
              .session = session,
              .mainQueue = loop,
              .clock = clock,
              .logSink = log,
          }) {
        store.setBool(keys::autoUnlockEnabled, true);
    }

    // Locks the screen now, as the user would.
    void lock() {
        session.userLocksScreen();
        loop.runDue();
    }

    // The keys and runs the lock screen received, as short texts ("Delete", "typed 8", ...).
    std::vector<std::string> keystrokes() const {
        std::vector<std::string> out;
        for (const auto& a : lockScreen.actions()) {
            using Kind = sim::SimLockScreen::Action::Kind;
            if (a.kind == Kind::key) {
                out.push_back(a.key == InjectedKey::space       ? "Space"
                              : a.key == InjectedKey::returnKey ? "Return"
                                                                : "Delete");
            } else if (a.kind == Kind::typed) {
                out.push_back("typed " + std::to_string(a.units));
            }
        }
        return out;
    }

    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::RecordingLogSink log;
    sim::MemorySettings persistence;
    SettingsStore store{persistence, log};
    sim::SimScreenSession session{loop, clock};
    sim::SimIdleClock idleClock{clock};
    sim::SimSystemPower power{loop};
    sim::SimKeychain keychain;
    sim::SimLockScreen lockScreen;
    RecordingSounds sounds;
    PasswordStore passwords{keychain, log, "ScreenUnlocker"};
    ScreenUnlocker unlocker;
};

}  // namespace ambleguard::test
