#pragma once

#include "base/Log.h"
#include "settings/SettingsStore.h"

#include <functional>
#include <string>
#include <string_view>

namespace ambleguard {

// The PIN that guards the sensitive menu actions (opening the settings, switching monitoring
// off, quitting). Only a digest of the PIN is stored. No attempt limit: a wrong PIN simply
// leaves the action undone. Main queue only.
class PinGate {
  public:
    explicit PinGate(SettingsStore& settings);

    // SHA-256 of the PIN's UTF-8 bytes as 64 lower-case hexadecimal characters.
    static std::string digest(std::string_view pin);

    // The gate asks only when it is on and a PIN is stored (a stored empty digest opens it).
    bool isRequired() const;

    // Runs `action` at once when no PIN is required and returns false. Otherwise keeps it
    // (replacing any action still waiting) and returns true: the caller shows the PIN entry
    // and hands its text to handlePinInput.
    bool ask(std::function<void()> action);
    bool isWaiting() const { return static_cast<bool>(pending_); }

    // The text entered for the waiting action: runs it when its digest matches the stored one.
    // With no digest stored at all, the text becomes the PIN.
    void handlePinInput(std::string_view text);
    // The entry closed without an answer.
    void cancel() { pending_ = nullptr; }

    // From the settings panel: stores a new PIN without asking for the old one.
    void setNewPin(std::string_view text);
    // The settings panel's switch turned the PIN off.
    void disablePin();
    bool hasPin() const;

  private:
    SettingsStore& settings_;
    std::function<void()> pending_;
};

}  // namespace ambleguard
