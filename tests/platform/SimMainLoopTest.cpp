#include "base/Liveness.h"
#include "platform/sim/SimMainLoop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ambleguard::sim {
namespace {

class SimMainLoopTest : public ::testing::Test {
  protected:
    SimClock clock;
    SimMainLoop loop{clock};
    std::vector<std::string> ran;
    auto record(std::string name) {
        return [this, name] { ran.push_back(name); };
    }
};

TEST_F(SimMainLoopTest, NothingRunsUntilTimeIsAdvanced) {
    loop.post(record("posted"));
    loop.postAfter(1.0, record("later"));
    EXPECT_TRUE(ran.empty());
    loop.runDue();
    EXPECT_EQ(ran, std::vector<std::string>{"posted"});
}

TEST_F(SimMainLoopTest, DeadlineFiresAtItsInstantNotBefore) {
    const Instant start = clock.now();
    loop.postAfter(3.0, record("lock"));
    loop.advanceTo(addSeconds(start, 2.999));
    EXPECT_TRUE(ran.empty());
    loop.advanceTo(addSeconds(start, 3.0));
    EXPECT_EQ(ran, std::vector<std::string>{"lock"});
    EXPECT_EQ(clock.now(), addSeconds(start, 3.0));
}

TEST_F(SimMainLoopTest, AWaitBelowAMicrosecondStillLandsAfterItsDeadline) {
    const Instant start = clock.now();
    loop.postAfter(4e-7, record("retry"));
    loop.runDue();
    EXPECT_TRUE(ran.empty());
    loop.advanceBy(1e-6);
    EXPECT_EQ(ran, std::vector<std::string>{"retry"});
    EXPECT_EQ(clock.now(), start + std::chrono::microseconds(1));
}

TEST_F(SimMainLoopTest, SameInstantRunsInSchedulingOrderAndTasksSeeTheirOwnTime) {
    const Instant start = clock.now();
    std::vector<double> seenAt;
    loop.postAfter(2.0, [&] {
        ran.push_back("a");
        seenAt.push_back(secondsBetween(start, clock.now()));
        // Work posted for "now" from inside a task runs after what was already due.
        loop.post(record("a-followup"));
    });
    loop.postAfter(1.0, record("first"));
    loop.postAfter(2.0, record("b"));
    loop.advanceBy(10);
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "a", "b", "a-followup"}));
    EXPECT_EQ(seenAt, std::vector<double>{2.0});
    EXPECT_EQ(clock.now(), addSeconds(start, 10));
}

TEST_F(SimMainLoopTest, CancelledWorkNeverRuns) {
    auto handle = loop.postAfter(1.0, record("cancelled"));
    handle.cancel();
    { ScopedTimer scoped = loop.postAfter(1.0, record("scoped")); }  // destroyed: cancelled
    ScopedTimer kept = loop.postAfter(1.0, record("kept"));
    loop.advanceBy(2);
    EXPECT_EQ(ran, std::vector<std::string>{"kept"});
}

TEST_F(SimMainLoopTest, RepeatingTimerTicksUntilCancelledEvenFromItsOwnTick) {
    int ticks = 0;
    TimerHandle handle;
    handle = loop.scheduleRepeating(1.0, 0.1, [&] {
        if (++ticks == 3)
            handle.cancel();
    });
    loop.advanceBy(0.999);
    EXPECT_EQ(ticks, 0);
    loop.advanceBy(10);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST_F(SimMainLoopTest, RunNextJumpsToTheEarliestTask) {
    const Instant start = clock.now();
    loop.postAfter(5.0, record("five"));
    loop.postAfter(2.0, record("two"));
    EXPECT_EQ(loop.nextDue(), addSeconds(start, 2.0));
    EXPECT_TRUE(loop.runNext());
    EXPECT_EQ(ran, std::vector<std::string>{"two"});
    EXPECT_TRUE(loop.runNext());
    EXPECT_FALSE(loop.runNext());
    EXPECT_EQ(clock.now(), addSeconds(start, 5.0));
}

TEST_F(SimMainLoopTest, GuardedClosureDoesNothingOnceItsOwnerIsGone) {
    struct Owner {
        LivenessToken token;
        int calls = 0;
    };
    auto owner = std::make_unique<Owner>();
    int* calls = &owner->calls;
    loop.postAfter(1.0, owner->token.guarded([calls] { ++*calls; }));
    loop.advanceBy(1);
    EXPECT_EQ(*calls, 1);

    int after = 0;
    loop.postAfter(1.0, owner->token.guarded([&after] { ++after; }));
    owner.reset();
    loop.advanceBy(1);
    EXPECT_EQ(after, 0);
}

TEST(SimClockTest, LocalTimeFollowsTheZoneOffset) {
    SimClock clock(*parseIso8601("2026-03-01T23:30:15Z"), 2 * 3600);
    auto local = clock.localTimeOfDay(clock.now());
    EXPECT_EQ(local.hour, 1);
    EXPECT_EQ(local.minute, 30);
    EXPECT_EQ(local.second, 15);
    clock.setUtcOffset(-5 * 3600);
    EXPECT_EQ(clock.localTimeOfDay(clock.now()).hour, 18);
}

}  // namespace
}  // namespace ambleguard::sim
