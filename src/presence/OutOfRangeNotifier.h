#pragma once

#include "presence/PresenceEngine.h"

namespace ambleguard {

// Tells the user that the tracked device left and why (main thread). Callers decide whether a
// notification is wanted at all.
class OutOfRangeNotifier {
  public:
    virtual ~OutOfRangeNotifier() = default;
    virtual void showNotification(PresenceEngine::GoneReason reason) = 0;
};

}  // namespace ambleguard
