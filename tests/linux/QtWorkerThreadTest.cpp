#include "platform/linux/QtWorkerThread.h"

#include "support/linux/TestBuses.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace ambleguard::linuxdesktop {
namespace {

// Records the thread its destructor runs on.
class Sentinel : public QObject {
  public:
    Sentinel(QObject* parent, QThread** destroyedOn) : QObject(parent), destroyedOn_(destroyedOn) {}
    ~Sentinel() override { *destroyedOn_ = QThread::currentThread(); }

  private:
    QThread** destroyedOn_;
};

TEST(QtWorkerThread, RunsWorkInOrderOnItsOwnThreadAndRunSyncWaits) {
    QtWorkerThread worker("test-worker");
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<bool> allOnWorker{true};
    for (int i = 0; i < 100; ++i) {
        worker.post([&, i] {
            allOnWorker = allOnWorker && worker.isCurrent();
            std::lock_guard lock(mutex);
            order.push_back(i);
        });
    }
    // runSync runs after what was posted before it, and returns only once it has run.
    std::size_t seenBySync = 0;
    worker.runSync([&] {
        std::lock_guard lock(mutex);
        seenBySync = order.size();
    });
    EXPECT_EQ(seenBySync, 100u);
    EXPECT_TRUE(allOnWorker);
    EXPECT_FALSE(worker.isCurrent());
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    }

    // From the thread itself, runSync runs at once instead of waiting for itself for ever.
    bool nested = false;
    worker.runSync([&] { worker.runSync([&] { nested = true; }); });
    EXPECT_TRUE(nested);
}

TEST(QtWorkerThread, StopRunsQueuedWorkThenDeletesItsObjectsOnTheThreadAndDropsLaterWork) {
    QThread* workerThread = nullptr;
    QThread* destroyedOn = nullptr;
    std::atomic<int> ran{0};
    QtWorkerThread worker("test-worker");
    worker.runSync([&] {
        workerThread = QThread::currentThread();
        new Sentinel(worker.context(), &destroyedOn);
    });
    for (int i = 0; i < 10; ++i) {
        worker.post([&] { ++ran; });
    }
    worker.stop();
    EXPECT_EQ(ran.load(), 10);
    EXPECT_EQ(destroyedOn, workerThread);
    EXPECT_NE(destroyedOn, QThread::currentThread());

    worker.post([&] { ++ran; });
    worker.runSync([&] { ++ran; });
    worker.stop();
    EXPECT_EQ(ran.load(), 10);
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
