#include "unlock/PasswordStore.h"

#include "unlock/PasswordText.h"

namespace ambleguard {

PasswordStore::PasswordStore(Keychain& keychain, LogSink& logSink, std::string_view category)
    : keychain_(keychain), log_(logSink, category) {}

bool PasswordStore::storePassword(std::string_view password) {
    if (!toUtf16(password)) {
        return false;
    }
    // One item per user: an item left from an earlier install is replaced, not duplicated.
    (void)keychain_.deleteItem(keychainService);
    const int status = keychain_.addItem(keychainService, itemLabel, password);
    if (status != 0) {
        log_.error("Failed to store password in Keychain: {}", status);
        return false;
    }
    log_.info("Password stored in Keychain");
    return true;
}

std::optional<SecretText> PasswordStore::retrievePassword() {
    auto result = keychain_.readItem(keychainService);
    if (result.status == Keychain::itemNotFound) {
        log_.debug("No password stored in Keychain");
        return std::nullopt;
    }
    if (result.status == 0 && result.data && toUtf16(*result.data)) {
        return SecretText(*result.data);
    }
    if (result.data) {
        wipe(*result.data);
    }
    log_.error("Failed to retrieve password from Keychain: {}", result.status);
    return std::nullopt;
}

void PasswordStore::deletePassword() {
    (void)keychain_.deleteItem(keychainService);
    log_.info("Password deleted from Keychain");
}

}  // namespace ambleguard
