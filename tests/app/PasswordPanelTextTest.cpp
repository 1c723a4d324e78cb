#include "app/PasswordPanelText.h"

#include <gtest/gtest.h>

namespace ambleguard {
namespace {

namespace phase = unlock_test_phase;

UnlockTestPhase failed(UnlockTestFailure failure) {
    return phase::Finished{{failure}};
}

TEST(PasswordPanelText, IdleShowsNothingAndProgressIsSecondary) {
    EXPECT_FALSE(unlockTestStatus(phase::Idle{}, UnlockMethod::keystrokes));
    EXPECT_EQ(unlockTestStatus(phase::Locking{}, UnlockMethod::keystrokes),
              (StatusLine{"Locking screen…", StatusTone::secondary}));
    EXPECT_EQ(unlockTestStatus(phase::Finished{{}}, UnlockMethod::sessionRequest),
              (StatusLine{"Success.", StatusTone::green}));
    EXPECT_EQ(
        unlockTestStatus(failed(UnlockTestFailure::userIntervened), UnlockMethod::keystrokes)->tone,
        StatusTone::orange);
}

// Asking the login session to unlock types nothing, so no line may talk of typing a password or
// of a wrong password.
TEST(PasswordPanelText, SessionUnlockingNeverTalksAboutTyping) {
    const UnlockTestPhase phases[] = {
        phase::Locking{},
        phase::WaitingToType{},
        phase::WaitingForUnlock{},
        failed(UnlockTestFailure::noAccessibilityPermission),
        failed(UnlockTestFailure::alreadyLocked),
        failed(UnlockTestFailure::couldNotLock),
        failed(UnlockTestFailure::userIntervened),
        failed(UnlockTestFailure::screenStayedLocked),
        failed(UnlockTestFailure::didNotReachTyping),
    };
    for (const auto& p : phases) {
        const auto line = unlockTestStatus(p, UnlockMethod::sessionRequest);
        ASSERT_TRUE(line);
        EXPECT_EQ(line->text.find("typ"), std::string::npos) << line->text;
        EXPECT_EQ(line->text.find("password"), std::string::npos) << line->text;
    }
    EXPECT_EQ(unlockTestStatus(phase::WaitingToType{}, UnlockMethod::sessionRequest)->text,
              "Requesting unlock…");
    EXPECT_EQ(unlockTestStatus(failed(UnlockTestFailure::noAccessibilityPermission),
                               UnlockMethod::sessionRequest)
                  ->text,
              "Ambleguard can't unlock: no login session found.");
    EXPECT_EQ(unlockTestStatus(failed(UnlockTestFailure::noAccessibilityPermission),
                               UnlockMethod::keystrokes)
                  ->text,
              "Password typing needs an X11 session.");
}

TEST(PasswordPanelText, TheFieldWinsOverTheStoredPassword) {
    EXPECT_EQ(candidateSource(true, true), CandidateSource::entered);
    EXPECT_EQ(candidateSource(false, true), CandidateSource::saved);
    EXPECT_FALSE(candidateSource(false, false));
    EXPECT_EQ(candidateCaption(CandidateSource::entered), "Will test the entered password.");
    EXPECT_EQ(candidateCaption(CandidateSource::saved), "Will test the saved password.");
}

}  // namespace
}  // namespace ambleguard
