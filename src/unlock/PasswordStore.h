#pragma once

#include "base/Log.h"
#include "platform/Keychain.h"
#include "unlock/SecretText.h"

#include <optional>
#include <string_view>

namespace ambleguard {

// The one stored copy of the user's login password: a single keychain item of the current user.
// The password itself is never logged; only the keychain's status codes are.
class PasswordStore {
  public:
    static constexpr std::string_view keychainService = "com.quillon.Ambleguard.screenUnlock";
    static constexpr std::string_view itemLabel = "Ambleguard Screen Unlock";

    // Logs under `category` (the screen unlocker's).
    PasswordStore(Keychain& keychain, LogSink& logSink, std::string_view category);

    // Replaces the stored item; false when `password` is not valid UTF-8 or the keychain fails.
    bool storePassword(std::string_view password);
    // Nothing when no item is stored or it cannot be read as text.
    std::optional<SecretText> retrievePassword();
    void deletePassword();

  private:
    Keychain& keychain_;
    Logger log_;
};

}  // namespace ambleguard
