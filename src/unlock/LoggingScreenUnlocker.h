#pragma once

#include "base/Log.h"
#include "unlock/UnlockInterfaces.h"

namespace ambleguard {

// Stands in for the screen unlocker until it exists: a request is logged and counted, and
// nothing is started.
class LoggingScreenUnlocker final : public ScreenUnlocking {
  public:
    explicit LoggingScreenUnlocker(LogSink& logSink) : log_(logSink, "ScreenUnlocker") {}
    bool unlockScreen() override {
        ++calls_;
        log_.info("Unlock requested; automatic unlock is not available in this build");
        return false;
    }
    int calls() const { return calls_; }

  private:
    Logger log_;
    int calls_ = 0;
};

}  // namespace ambleguard
