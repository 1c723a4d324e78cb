#pragma once

#include <cstddef>
#include <string_view>

namespace ambleguard {

// The keys the program ever presses on its own.
enum class InjectedKey { space, deleteBackward, returnKey };

// Posts synthetic keyboard events as if they came from the keyboard (for typing into the lock
// screen). Every call is one complete key press: a key-down followed at once by its key-up.
class KeyInjector {
  public:
    virtual ~KeyInjector() = default;
    // Whether the system lets this process post keyboard events (on some systems the user must
    // grant it; on others it depends on the kind of session).
    virtual bool mayPostEvents() const = 0;
    // One press of `key`.
    virtual void press(InjectedKey key) = 0;
    // One press of the space bar's key code carrying `units` (UTF-16, at most 20) as the text
    // it produces, the way a keyboard with an input method delivers composed text.
    virtual void pressCarrying(std::u16string_view units) = 0;
};

}  // namespace ambleguard
