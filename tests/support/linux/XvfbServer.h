#pragma once

#include <sys/types.h>

#include <string>

namespace ambleguard::test {

// A private Xvfb for one test, on a display number of its own, stopped when it goes.
class XvfbServer {
  public:
    static bool installed();

    // Starts the server on display `base` plus a number from the process id, and waits until a
    // client can connect.
    explicit XvfbServer(int base);
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    ~XvfbServer();

    bool ready() const { return ready_; }
    const std::string& display() const { return display_; }

  private:
    std::string display_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

}  // namespace ambleguard::test
