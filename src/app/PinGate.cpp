#include "app/PinGate.h"

#include "base/Sha256.h"
#include "settings/SettingsKeys.h"

#include <utility>

namespace ambleguard {

PinGate::PinGate(SettingsStore& settings) : settings_(settings) {}

std::string PinGate::digest(std::string_view pin) {
    return sha256Hex(pin);
}

bool PinGate::isRequired() const {
    const auto stored = settings_.stringForKey(keys::hashedPIN);
    return stored && !stored->empty() && settings_.boolForKey(keys::isPinEnabled);
}

bool PinGate::hasPin() const {
    const auto stored = settings_.stringForKey(keys::hashedPIN);
    return stored && !stored->empty();
}

bool PinGate::ask(std::function<void()> action) {
    if (!isRequired()) {
        pending_ = nullptr;
        action();
        return false;
    }
    pending_ = std::move(action);
    return true;
}

void PinGate::handlePinInput(std::string_view text) {
    const std::string entered = digest(text);
    if (!pending_) {
        return;
    }
    bool success = true;
    if (const auto stored = settings_.storedValue(keys::hashedPIN)) {
        const auto* storedText = std::get_if<std::string>(&*stored);
        success = storedText != nullptr && *storedText == entered;
    } else {
        settings_.setString(keys::hashedPIN, entered);
    }
    auto action = std::exchange(pending_, nullptr);
    if (success) {
        action();
    }
}

void PinGate::setNewPin(std::string_view text) {
    settings_.setString(keys::hashedPIN, digest(text));
}

void PinGate::disablePin() {
    settings_.setString(keys::hashedPIN, "");
    settings_.removeObject(keys::hashedPIN);
}

}  // namespace ambleguard
