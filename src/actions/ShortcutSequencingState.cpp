#include "actions/ShortcutSequencingState.h"

#include "settings/SettingsKeys.h"

namespace ambleguard {

void ShortcutSequencingState::cancelPendingAwayShortcut(std::string_view message) {
    if (awayShortcutPending_) {
        awayShortcutPending_ = false;
        log_.info("{}", message);
    }
}

void ShortcutSequencingState::cancelPendingReturnShortcut(std::string_view message) {
    if (returnShortcutPending_) {
        returnShortcutPending_ = false;
        log_.info("{}", message);
    }
}

void resetShortcutPairingAtLaunch(SettingsStore& store) {
    store.setBool(keys::awayShortcutRanForCurrentEvent, false);
}

}  // namespace ambleguard
