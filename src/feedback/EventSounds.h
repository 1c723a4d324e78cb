#pragma once

#include <string_view>

namespace ambleguard {

// The three moments that can make a sound; shown in logs by these names.
enum class SoundEvent { deviceLeft, deviceReturned, unlockFailed };

inline std::string_view toString(SoundEvent event) {
    switch (event) {
        case SoundEvent::deviceLeft:
            return "deviceLeft";
        case SoundEvent::deviceReturned:
            return "deviceReturned";
        case SoundEvent::unlockFailed:
            return "unlockFailed";
    }
    return "deviceLeft";
}

// Plays the user's sound for an event when sounds are on (the event sound player).
class EventSounds {
  public:
    virtual ~EventSounds() = default;
    virtual void play(SoundEvent event) = 0;
};

}  // namespace ambleguard
