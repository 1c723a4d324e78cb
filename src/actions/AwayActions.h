#pragma once

namespace ambleguard {

// The away entry: lock, start the screen saver or run the away shortcut, with its own guards
// (implemented by the away sequencing).
class AwayActions {
  public:
    virtual ~AwayActions() = default;
    virtual void performAwayAction() = 0;
};

}  // namespace ambleguard
