#pragma once

#include <optional>
#include <string>

namespace ambleguard {

// The system's record that this program starts when the user logs in.
class LoginItem {
  public:
    enum class Status { notRegistered, enabled, requiresApproval, notFound };

    virtual ~LoginItem() = default;
    virtual Status status() const = 0;
    // Each returns nothing on success, or a description of why the system refused.
    virtual std::optional<std::string> registerItem() = 0;
    virtual std::optional<std::string> unregisterItem() = 0;
};

}  // namespace ambleguard
