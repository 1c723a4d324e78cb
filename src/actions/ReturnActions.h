#pragma once

namespace ambleguard {

// The two return actions, called in this order on every return (implemented by the return
// sequencing): the return shortcut, then the unlock on return.
class ReturnActions {
  public:
    virtual ~ReturnActions() = default;
    virtual void performReturnAction() = 0;
    virtual void performUnlockOnReturn() = 0;
};

}  // namespace ambleguard
