#pragma once

namespace ambleguard {

// What the application's timers ask of the update check.
class UpdateChecker {
  public:
    virtual ~UpdateChecker() = default;
    // Starts one check; its outcome arrives later through the check's own published value.
    virtual void checkForUpdates() = 0;
};

}  // namespace ambleguard
