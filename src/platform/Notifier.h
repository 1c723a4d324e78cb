#pragma once

#include <functional>
#include <optional>
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
    // Receives nothing on success, or the platform's description of the failure. May run on
    // any thread.
    using Completion = std::function<void(std::optional<std::string> error)>;

    virtual ~Notifier() = default;
    virtual void deliver(NotificationRequest request, Completion completion) = 0;
};

}  // namespace ambleguard
