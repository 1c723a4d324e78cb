#include "platform/posix/ThreadExecutor.h"

#include <algorithm>

namespace ambleguard::posix {

ThreadExecutor::~ThreadExecutor() {
    std::vector<Worker> workers;
    {
        std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (auto& worker : workers) {
        worker.thread.join();
    }
}

void ThreadExecutor::post(Task task) {
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([task = std::move(task), finished]() mutable {
        task();
        task = nullptr;  // release what the task captured before announcing the end
        finished->store(true);
    });
    std::lock_guard lock(mutex_);
    joinFinishedLocked();
    workers_.push_back(Worker{std::move(thread), std::move(finished)});
}

void ThreadExecutor::joinFinishedLocked() {
    auto done = std::partition(workers_.begin(), workers_.end(),
                               [](const Worker& w) { return !w.finished->load(); });
    for (auto it = done; it != workers_.end(); ++it) {
        it->thread.join();  // the thread has set its flag, so this returns promptly
    }
    workers_.erase(done, workers_.end());
}

}  // namespace ambleguard::posix
