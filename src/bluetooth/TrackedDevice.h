#pragma once

#include "base/Time.h"
#include "platform/BleCentral.h"

namespace ambleguard {

// One entry of the table of devices seen nearby.
struct TrackedDevice {
    PeripheralRef peripheral;
    // Time of the last accepted advertisement (or of restoration).
    Instant lastSeen;
};

}  // namespace ambleguard
