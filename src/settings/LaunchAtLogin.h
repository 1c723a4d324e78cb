#pragma once

#include "base/Log.h"
#include "base/Signal.h"
#include "platform/Console.h"
#include "platform/LoginItem.h"

#include <functional>

namespace ambleguard {

// Whether the program starts at login. Holds no state of its own: the truth is the system's
// login item, read afresh every time. Used by the status menu, the end of onboarding and the
// complete reset. Main queue only.
class LaunchAtLogin {
  public:
    LaunchAtLogin(LoginItem& item, ConsoleOutput& console, LogSink& logSink);

    // True exactly when the system reports the item enabled; any other status reads as off.
    bool isEnabled() const;
    // Registers or unregisters; a refusal is logged, not retried, not shown.
    void setEnabled(bool enabled);

    // The status menu's entry: flips the state and returns what the check mark must show,
    // which is the system's answer, not the request.
    bool toggleLaunchAtLogin();

    // Raised before every write, so bound controls redraw from the new state afterwards.
    [[nodiscard]] Connection onWillChange(std::function<void()> observer) const;

  private:
    LoginItem& item_;
    ConsoleOutput& console_;
    Logger log_;
    mutable Signal<> willChange_;
};

}  // namespace ambleguard
