#pragma once

#include <sys/types.h>

namespace ambleguard::test {

class TestBuses;

// A real GNOME Keyring on a test's private session bus, unlocked with a password of its own,
// its keyrings in the test's folder (HOME and XDG_DATA_HOME point there for the process).
// Stopped when it goes.
class GnomeKeyring {
  public:
    static bool installed();

    explicit GnomeKeyring(const TestBuses& buses);
    GnomeKeyring(const GnomeKeyring&) = delete;
    GnomeKeyring& operator=(const GnomeKeyring&) = delete;
    ~GnomeKeyring();

    // True once it owns the secret service's name.
    bool ready() const { return ready_; }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

}  // namespace ambleguard::test
