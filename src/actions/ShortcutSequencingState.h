#pragma once

#include "base/Log.h"
#include "settings/SettingsStore.h"

#include <string_view>

namespace ambleguard {

// What the away and the return side share in memory: each side's postponed shortcut, which the
// opposite event cancels (a return cancels a postponed away shortcut, a departure a postponed
// return shortcut). Main queue only.
class ShortcutSequencingState {
  public:
    explicit ShortcutSequencingState(LogSink& logSink) : log_(logSink, "Shortcuts") {}
    ShortcutSequencingState(const ShortcutSequencingState&) = delete;
    ShortcutSequencingState& operator=(const ShortcutSequencingState&) = delete;

    bool awayShortcutPending() const { return awayShortcutPending_; }
    void setAwayShortcutPending(bool pending) { awayShortcutPending_ = pending; }
    bool returnShortcutPending() const { return returnShortcutPending_; }
    void setReturnShortcutPending(bool pending) { returnShortcutPending_ = pending; }

    // Clears the pending flag and logs `message` (info) when it was set; otherwise does nothing.
    // The postponed check still fires later and finds the flag clear and the state changed.
    void cancelPendingAwayShortcut(std::string_view message);
    void cancelPendingReturnShortcut(std::string_view message);

  private:
    Logger log_;
    bool awayShortcutPending_ = false;
    bool returnShortcutPending_ = false;
};

// A fresh process starts a fresh pairing: whatever the away shortcut did before a restart, the
// next return must not run the return shortcut on its account. Called once at launch.
void resetShortcutPairingAtLaunch(SettingsStore& store);

}  // namespace ambleguard
