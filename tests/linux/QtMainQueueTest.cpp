#include "platform/linux/QtMainQueue.h"

#include "support/linux/TestBuses.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace ambleguard::linuxdesktop {
namespace {

using std::chrono::milliseconds;
using test::processEventsFor;
using test::waitUntil;
using Steady = std::chrono::steady_clock;

// Everything goes into one ordered heap, so posts and zero delays keep their order.
TEST(QtMainQueue, PostsAndZeroDelaysRunInScheduleOrderAndNeverInline) {
    QtMainQueue queue;
    std::vector<int> order;
    queue.post([&] { order.push_back(1); });
    queue.postAfter(0, [&] { order.push_back(2); });
    queue.post([&] {
        order.push_back(3);
        queue.post([&] { order.push_back(5); });
    });
    queue.postAfter(-1, [&] { order.push_back(4); });
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(waitUntil([&] { return order.size() == 5; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(QtMainQueue, DelayedWorkRunsNotBeforeItsDeadlineAndSoonAfter) {
    QtMainQueue queue;
    const auto start = Steady::now();
    std::vector<std::pair<int, Steady::duration>> ran;
    queue.postAfter(0.060, [&] { ran.emplace_back(60, Steady::now() - start); });
    queue.postAfter(0.020, [&] { ran.emplace_back(20, Steady::now() - start); });
    queue.postAfter(0.040, [&] { ran.emplace_back(40, Steady::now() - start); });
    ASSERT_TRUE(waitUntil([&] { return ran.size() == 3; }));
    for (std::size_t i = 0; i < ran.size(); ++i) {
        EXPECT_EQ(ran[i].first, static_cast<int>(20 * (i + 1)));
        // Never early, even though Qt timers may fire early.
        EXPECT_GE(ran[i].second, milliseconds(ran[i].first));
        EXPECT_LT(ran[i].second, milliseconds(ran[i].first + 500));
    }
}

TEST(QtMainQueue, CancelledWorkNeverRunsAndRepeatingStopsWhenCancelled) {
    QtMainQueue queue;
    bool cancelledRan = false;
    auto handle = queue.postAfter(0.01, [&] { cancelledRan = true; });
    handle.cancel();

    std::vector<Steady::time_point> ticks;
    const auto start = Steady::now();
    TimerHandle repeating;
    repeating = queue.scheduleRepeating(0.015, 0, [&] {
        ticks.push_back(Steady::now());
        if (ticks.size() == 3) {
            repeating.cancel();
        }
    });
    ASSERT_TRUE(waitUntil([&] { return ticks.size() == 3; }));
    processEventsFor(milliseconds(60));
    EXPECT_EQ(ticks.size(), 3u);
    EXPECT_FALSE(cancelledRan);
    // Tick k is due k periods after the start; a late tick does not push later ones back.
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        EXPECT_GE(ticks[i] - start, milliseconds(15 * (i + 1)));
    }
}

TEST(QtMainQueue, PostsFromOtherThreadsRunOnTheOwningThreadInEachThreadsOrder) {
    QtMainQueue queue;
    constexpr int kThreads = 4;
    constexpr int kPosts = 2000;
    std::vector<std::vector<int>> seen(kThreads);
    bool offThread = false;
    const auto owner = std::this_thread::get_id();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPosts; ++i) {
                queue.post([&, t, i] {
                    offThread = offThread || std::this_thread::get_id() != owner;
                    seen[t].push_back(i);
                });
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    ASSERT_TRUE(waitUntil([&] {
        for (const auto& s : seen) {
            if (s.size() != kPosts) {
                return false;
            }
        }
        return true;
    }));
    EXPECT_FALSE(offThread);
    for (const auto& s : seen) {
        for (int i = 0; i < kPosts; ++i) {
            ASSERT_EQ(s[static_cast<std::size_t>(i)], i);
        }
    }
}

TEST(QtMainQueue, ADelayedPostFromAnotherThreadWakesTheLoop) {
    QtMainQueue queue;
    const auto start = Steady::now();
    Steady::duration ranAfter{};
    bool ran = false;
    std::thread([&] {
        queue.postAfter(0.03, [&] { ranAfter = Steady::now() - start, ran = true; });
    }).join();
    ASSERT_TRUE(waitUntil([&] { return ran; }));
    EXPECT_GE(ranAfter, milliseconds(30));
}

TEST(QtMainQueue, WorkStillQueuedAtDestructionNeverRuns) {
    bool ran = false;
    {
        QtMainQueue queue;
        queue.post([&] { ran = true; });
        std::thread([&] { queue.post([&] { ran = true; }); }).join();
    }
    processEventsFor(milliseconds(20));
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
