#pragma once

namespace ambleguard {

// Whether the program starts when the user logs in.
class LoginItem {
  public:
    virtual ~LoginItem() = default;
    virtual bool isEnabled() const = 0;
    // Returns false when the platform refused the change.
    virtual bool setEnabled(bool enabled) = 0;
};

}  // namespace ambleguard
