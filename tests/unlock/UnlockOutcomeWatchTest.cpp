#include "unlock/UnlockOutcomeWatch.h"

#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimScreenSession.h"

#include <gtest/gtest.h>

#include <vector>

namespace ambleguard {
namespace {

using Outcome = UnlockOutcomeWatch::Outcome;
using Unlocked = UnlockOutcomeWatch::Unlocked;
using StayedLocked = UnlockOutcomeWatch::StayedLocked;

struct WatchWorld {
    WatchWorld() {
        session.userLocksScreen();
        loop.runDue();
    }
    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::RecordingLogSink log;
    sim::SimScreenSession session{loop, clock};
    bool lockedAnswer = true;
    std::vector<Outcome> outcomes;
    UnlockOutcomeWatch watch{UnlockOutcomeWatch::Dependencies{
        .log = Logger(log, "ScreenUnlocker"),
        .session = session,
        .screenLocked = [this] { return lockedAnswer; },
        .mainQueue = loop,
        .clock = clock,
        .onOutcome = [this](const Outcome& o) { outcomes.push_back(o); },
    }};
};

TEST(UnlockOutcomeWatch, TheUnlockNoticeReportsOnceAndTheTimeOutIsIgnored) {
    WatchWorld w;
    w.watch.start();
    w.loop.advanceBy(0.8);
    w.session.userUnlocksScreen();
    w.loop.advanceBy(5.0);
    ASSERT_EQ(w.outcomes.size(), 1u);
    EXPECT_EQ(w.outcomes[0], Outcome(Unlocked{0.8}));
}

TEST(UnlockOutcomeWatch, WithoutANoticeTheTimeOutAsksTheLockState) {
    WatchWorld w;
    w.watch.start();
    w.loop.advanceBy(2.999);
    EXPECT_TRUE(w.outcomes.empty());
    w.loop.advanceBy(0.001);
    ASSERT_EQ(w.outcomes.size(), 1u);
    EXPECT_EQ(w.outcomes[0], Outcome(StayedLocked{3.0}));

    // Unlocked without the notice having been seen.
    w.lockedAnswer = false;
    w.watch.start();
    w.loop.advanceBy(3.0);
    ASSERT_EQ(w.outcomes.size(), 2u);
    EXPECT_EQ(w.outcomes[1], Outcome(Unlocked{3.0}));
}

TEST(UnlockOutcomeWatch, ANewAttemptSupersedesTheOldOne) {
    WatchWorld w;
    w.watch.start();
    w.loop.advanceBy(1.0);
    w.watch.start();
    EXPECT_TRUE(w.log.contains("Unlock outcome watch superseded by a new attempt"));
    w.loop.advanceBy(2.0);  // the first attempt's time-out
    EXPECT_TRUE(w.outcomes.empty());
    w.loop.advanceBy(1.0);
    ASSERT_EQ(w.outcomes.size(), 1u);
    EXPECT_EQ(w.outcomes[0], Outcome(StayedLocked{3.0}));
}

TEST(UnlockOutcomeWatch, NoticesOutsideAnAttemptAreIgnored) {
    WatchWorld w;
    w.session.userUnlocksScreen();
    w.loop.advanceBy(1.0);
    w.session.userLocksScreen();
    w.watch.start();
    w.loop.advanceBy(3.0);
    w.session.userUnlocksScreen();
    w.loop.advanceBy(1.0);
    ASSERT_EQ(w.outcomes.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<StayedLocked>(w.outcomes[0]));
}

}  // namespace
}  // namespace ambleguard
