#pragma once

#include "base/Log.h"
#include "unlock/UnlockInterfaces.h"

#include <string_view>

namespace ambleguard {

// Stands in for unlock on touch until it exists: requests are logged and counted, nothing is
// ever armed and starting it registers no observers.
class LoggingUnlockOnTouch final : public UnlockOnTouchControl, public UnlockOnTouchStartup {
  public:
    explicit LoggingUnlockOnTouch(LogSink& logSink) : log_(logSink, "UnlockOnTouch") {}
    bool arm(bool unlockIfRecentInput) override {
        ++armCalls_;
        log_.info(
            "Arm requested (unlock if recent input: {}); unlock on touch is not available "
            "in this build",
            boolText(unlockIfRecentInput));
        return false;
    }
    void deviceConfirmedGone(std::string_view reason) override {
        log_.debug("Device confirmed gone ({}); nothing is armed", reason);
    }
    void start() override {
        ++startCalls_;
        log_.debug("Unlock on touch is not available in this build; no observers started");
    }
    int armCalls() const { return armCalls_; }
    int startCalls() const { return startCalls_; }

  private:
    Logger log_;
    int armCalls_ = 0;
    int startCalls_ = 0;
};

}  // namespace ambleguard
