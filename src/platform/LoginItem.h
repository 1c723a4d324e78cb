#pragma once

#include "base/Result.h"

namespace ambleguard {

// The system's record that this program starts when the user logs in.
class LoginItem {
  public:
    enum class Status { notRegistered, enabled, requiresApproval, notFound };

    virtual ~LoginItem() = default;
    virtual Status status() const = 0;
    // A refusal says why the system refused.
    virtual Result<void> registerItem() = 0;
    virtual Result<void> unregisterItem() = 0;
};

}  // namespace ambleguard
