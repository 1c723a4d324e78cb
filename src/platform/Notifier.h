#pragma once

#include "base/Result.h"

#include <functional>
#include <string>

namespace ambleguard {

// How strongly a notification may interrupt the user.
enum class InterruptionLevel { passive, active, timeSensitive, critical };

struct NotificationRequest {
    std::string identifier;  // unique per request
    std::string title;
    std::string body;
    bool playsSound = true;  // the system's default notification sound
    InterruptionLevel interruptionLevel = InterruptionLevel::active;
};

// User notifications, delivered at once.
class Notifier {
  public:
    // Receives success, or the platform's description of the failure. May run on any thread.
    using Completion = std::function<void(Result<void> delivered)>;

    virtual ~Notifier() = default;
    virtual void deliver(NotificationRequest request, Completion completion) = 0;
};

}  // namespace ambleguard
