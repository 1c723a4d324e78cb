#pragma once

namespace ambleguard {

// Does the user's schedule suppress locking right now? (implemented by ScheduleManager, which
// logs its reason when it answers yes)
class ScheduleGate {
  public:
    virtual ~ScheduleGate() = default;
    virtual bool shouldSuppress() = 0;
};

}  // namespace ambleguard
