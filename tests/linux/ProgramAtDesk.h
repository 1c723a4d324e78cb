#pragma once

#include "support/linux/TestBuses.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ambleguard::linuxdesktop {

// The real program at a desk, for end-to-end tests: mock BlueZ with one adapter, a logind
// session that locks when asked, and the tracked phone, which the test makes advertise.
class ProgramAtDesk {
  public:
    static const QString kSession;

    explicit ProgramAtDesk(test::TestBuses& buses);
    ProgramAtDesk(const ProgramAtDesk&) = delete;
    ProgramAtDesk& operator=(const ProgramAtDesk&) = delete;

    // Whether BlueZ and logind came up.
    bool mocksStarted() const { return started_; }

    // Sets up, through the program's own settings command, what `ambleguard track` leaves for
    // the phone, then `extra`. The first failure, or nothing.
    std::optional<std::string> configure(
        const std::vector<std::pair<std::string, std::string>>& extra = {});

    // Starts `ambleguard --headless` (AMBLEGUARD_BINARY) in `environment`; its output goes to
    // log().
    bool start(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    // Waits for the program to start discovery, then brings the phone into range of the adapter.
    bool discoveryStartedAndPhoneSeen();
    // Advertises as a phone does, five times a second, until `until` holds (true) or `duration`
    // passes (false).
    bool advertise(short rssi, std::chrono::milliseconds duration,
                   const std::function<bool()>& until);
    bool lockRequested() const { return !session.callsOf("Lock").empty(); }

    std::string log() const;

    test::MockObject bluez;
    test::MockObject adapter;
    test::MockObject session;
    QProcess program;

  private:
    test::TestBuses& buses_;
    bool started_ = false;
};

}  // namespace ambleguard::linuxdesktop
