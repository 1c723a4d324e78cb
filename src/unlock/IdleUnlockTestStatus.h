#pragma once

#include "unlock/UnlockInterfaces.h"

namespace ambleguard {

// Stands in for the unlock self-test until it exists: the test is never running.
class IdleUnlockTestStatus final : public UnlockTestStatus {
  public:
    bool isRunning() const override { return false; }
};

}  // namespace ambleguard
