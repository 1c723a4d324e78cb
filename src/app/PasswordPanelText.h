#pragma once

#include "platform/SessionUnlock.h"
#include "unlock/UnlockTestCoordinator.h"

#include <optional>
#include <string>
#include <string_view>

namespace ambleguard {

// How a status line is coloured: plain secondary text, or a named colour.
enum class StatusTone { secondary, green, red, orange };

struct StatusLine {
    std::string text;
    StatusTone tone = StatusTone::secondary;
    bool operator==(const StatusLine&) const = default;
};

// The password panel's line for the self-test's phase; nothing while idle. The words follow how
// this platform gets past its lock screen: typing the password, or asking the login session.
std::optional<StatusLine> unlockTestStatus(const UnlockTestPhase& phase, UnlockMethod method);

// Which password "Test Unlock" would type: the field's text when there is any, else the stored
// password; nothing when there is neither.
enum class CandidateSource { entered, saved };
std::optional<CandidateSource> candidateSource(bool fieldHasText, bool passwordStored);
// "Will test the entered password." or "Will test the saved password."
std::string candidateCaption(CandidateSource source);

}  // namespace ambleguard
