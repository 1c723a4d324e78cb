#pragma once

#include <functional>

namespace ambleguard {

// The running program as a whole: starting a fresh copy of it and ending this one.
class AppInstance {
  public:
    virtual ~AppInstance() = default;
    // Starts a new instance of the program; `completion` runs (on any thread) once the platform
    // has handled the request, whether or not the start succeeded.
    virtual void launchNewInstance(std::function<void()> completion) = 0;
    // Ends this instance after the current main-queue task.
    virtual void terminate() = 0;
};

}  // namespace ambleguard
