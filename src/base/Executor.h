#pragma once

#include <functional>

namespace ambleguard {

using Task = std::function<void()>;

// Somewhere work can be sent to run later, asynchronously (a dispatch queue, a worker pool).
class Executor {
  public:
    virtual ~Executor() = default;
    // Runs `task` later, never inside this call.
    virtual void post(Task task) = 0;
};

// An executor that runs one task at a time and can also run a task and wait for it, as a serial
// queue does. Calling runSync from a task already running on this executor is not allowed.
class SerialExecutor : public Executor {
  public:
    virtual void runSync(const Task& task) = 0;
};

}  // namespace ambleguard
