#pragma once

#include "base/Executor.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ambleguard::posix {

// Runs every task on a fresh thread of its own, so long blocking work (waiting for a child
// process) never holds up other tasks. Finished threads are joined on the next post; the
// destructor waits for every task still running, so a task must be able to end (its owner tells
// it to stop before this executor goes away).
class ThreadExecutor final : public Executor {
  public:
    ThreadExecutor() = default;
    ThreadExecutor(const ThreadExecutor&) = delete;
    ThreadExecutor& operator=(const ThreadExecutor&) = delete;
    ~ThreadExecutor() override;

    void post(Task task) override;

  private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };

    void joinFinishedLocked();

    std::mutex mutex_;
    std::vector<Worker> workers_;
};

}  // namespace ambleguard::posix
