#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ambleguard {

// Whether the system lets this program show notifications.
enum class NotificationAuthorization { notDetermined, denied, authorized, provisional, ephemeral };

// What the program asks to be allowed to do.
namespace notificationOptions {
inline constexpr std::uint32_t badge = 1;
inline constexpr std::uint32_t sound = 2;
inline constexpr std::uint32_t alert = 4;
inline constexpr std::uint32_t provisional = 64;
}  // namespace notificationOptions

// The system's notification permission for this program. Answers may arrive on any thread and
// never inside the call.
class NotificationPermission {
  public:
    virtual ~NotificationPermission() = default;
    virtual void getAuthorization(std::function<void(NotificationAuthorization)> answer) = 0;
    // Asks the user (where the system asks at all) for the `options` bits.
    virtual void requestAuthorization(std::uint32_t options,
                                      std::function<void(bool granted)> answer) = 0;

    // What to tell a user whose notifications are refused, on a system where the reason is not
    // a per-program switch in its settings (and a settings page would not help); nothing where
    // it is.
    struct RefusalAdvice {
        std::string title;
        std::string message;
    };
    virtual std::optional<RefusalAdvice> refusalAdvice() const { return std::nullopt; }
};

}  // namespace ambleguard
