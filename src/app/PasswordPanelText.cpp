#include "app/PasswordPanelText.h"

#include <type_traits>
#include <variant>

namespace ambleguard {

namespace {

namespace phase = unlock_test_phase;

StatusLine failureLine(UnlockTestFailure failure, bool typing) {
    switch (failure) {
        case UnlockTestFailure::noAccessibilityPermission:
            // What the platform needs to act on the lock screen at all.
            return {typing ? "Password typing needs an X11 session."
                           : "Ambleguard can't unlock: no login session found.",
                    StatusTone::red};
        case UnlockTestFailure::noPassword:
            return {"Enter your login password first, then test.", StatusTone::red};
        case UnlockTestFailure::alreadyLocked:
            return {"Screen is already locked. Unlock it and run the test again.", StatusTone::red};
        case UnlockTestFailure::couldNotLock:
            return {"Couldn't confirm the screen locked. Nothing was changed.", StatusTone::red};
        case UnlockTestFailure::userIntervened:
            return {"Test cancelled. The screen was unlocked manually before Ambleguard tried.",
                    StatusTone::orange};
        case UnlockTestFailure::screenStayedLocked:
            return {typing ? "The screen didn't unlock after typing. This usually means the "
                             "password is wrong, but it can also be a lock-screen timing issue. "
                             "If you're sure the password is right, run the test again before "
                             "changing it."
                           : "The screen didn't unlock. Your lock screen may ignore unlock "
                             "requests.",
                    StatusTone::red};
        case UnlockTestFailure::didNotReachTyping:
            return {typing ? "The test timed out before the password field was ready, probably "
                             "a slow display wake. Try again."
                           : "The test timed out before the unlock step, probably a slow "
                             "display wake. Try again.",
                    StatusTone::orange};
    }
    return {};
}

}  // namespace

std::optional<StatusLine> unlockTestStatus(const UnlockTestPhase& current, UnlockMethod method) {
    const bool typing = method == UnlockMethod::keystrokes;
    return std::visit(
        [typing](const auto& p) -> std::optional<StatusLine> {
            using P = std::decay_t<decltype(p)>;
            if constexpr (std::is_same_v<P, phase::Idle>) {
                return std::nullopt;
            } else if constexpr (std::is_same_v<P, phase::Locking>) {
                return StatusLine{"Locking screen…", StatusTone::secondary};
            } else if constexpr (std::is_same_v<P, phase::WaitingToType>) {
                return StatusLine{typing ? "Typing password…" : "Requesting unlock…",
                                  StatusTone::secondary};
            } else if constexpr (std::is_same_v<P, phase::WaitingForUnlock>) {
                return StatusLine{"Checking unlock…", StatusTone::secondary};
            } else {
                if (!p.result.failure) {
                    return StatusLine{"Success.", StatusTone::green};
                }
                return failureLine(*p.result.failure, typing);
            }
        },
        current);
}

std::optional<CandidateSource> candidateSource(bool fieldHasText, bool passwordStored) {
    if (fieldHasText) {
        return CandidateSource::entered;
    }
    if (passwordStored) {
        return CandidateSource::saved;
    }
    return std::nullopt;
}

std::string candidateCaption(CandidateSource source) {
    return std::string("Will test the ") +
           (source == CandidateSource::entered ? "entered password" : "saved password") + ".";
}

}  // namespace ambleguard
