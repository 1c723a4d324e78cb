#include "platform/posix/EventLoop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace ambleguard::posix {
namespace {

// The real loop is checked for order and cross-thread posting only; its timing is not asserted.
TEST(EventLoopTest, RunsWorkInOrderAndStopsOnQuit) {
    EventLoop loop;
    std::vector<int> order;
    loop.post([&] { order.push_back(1); });
    loop.postAfter(0.02, [&] { order.push_back(3); });
    loop.post([&] { order.push_back(2); });
    loop.postAfter(0.01, [&] { order.push_back(99); }).cancel();
    loop.postAfter(0.03, [&] { loop.quit(); });
    loop.run();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(EventLoopTest, AcceptsWorkFromOtherThreads) {
    EventLoop loop;
    int received = 0;
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i) {
            loop.post([&] { ++received; });
        }
        loop.post([&] { loop.quit(); });
    });
    loop.run();
    worker.join();
    EXPECT_EQ(received, 100);
}

TEST(EventLoopTest, RepeatingTimerStopsWhenCancelled) {
    EventLoop loop;
    int ticks = 0;
    TimerHandle timer;
    timer = loop.scheduleRepeating(0.001, 0, [&] {
        if (++ticks == 5) {
            timer.cancel();
            loop.postAfter(0.01, [&] { loop.quit(); });
        }
    });
    loop.run();
    EXPECT_EQ(ticks, 5);
}

}  // namespace
}  // namespace ambleguard::posix
