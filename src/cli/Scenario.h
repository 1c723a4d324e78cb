#pragma once

#include "base/SettingValue.h"
#include "platform/BleCentral.h"
#include "platform/BluetoothController.h"
#include "platform/sim/SimPlatform.h"
#include "platform/sim/SimProcessLauncher.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ambleguard::cli {

// The things a scenario can make happen at a moment of its own choosing. The devices' signals
// follow their timelines by themselves; these are the rest of the world around the program.

// The Bluetooth radio changes state (switched off, resetting, back on).
struct RadioStateChange {
    BleManagerState state = BleManagerState::poweredOn;
};

// The user grants or withdraws the program's Bluetooth permission.
struct AuthorizationChange {
    BleAuthorization authorization = BleAuthorization::allowedAlways;
};

// The user at the machine locks the screen, or types the password at the lock screen.
struct UserScreenChange {
    bool lock = true;
};

// Another user's session comes to the front (fast user switching), or this user's again.
struct UserSessionSwitch {
    bool away = true;
};

// Where an input comes from: a person at a device, software posting events, or a program
// declaring activity without any input event.
enum class InputSource { human, synthetic, declared };

// A key press or pointer movement; with `until`, one every `every` seconds up to that time.
struct UserInput {
    std::optional<double> until;
    double every = 1.0;
    InputSource source = InputSource::human;
    // The program that posted or declared it (synthetic and declared input).
    std::string process;
};

// The displays wake (from dimming or display sleep).
struct ScreensWake {};

// The user runs the auto-unlock self-test with this candidate password.
struct SelfTestStart {
    std::string candidate;
};

// The computer goes to sleep or wakes up.
struct SystemPowerChange {
    bool sleep = true;
};

// From now on the shortcut of this name ends as the script says.
struct ShortcutOutcome {
    std::string name;
    sim::SimProcessScript script;
};

// Settings the user changes (as in the settings panel).
struct SettingsChange {
    SettingValues values;
};

// A tether to a phone comes up or goes down.
struct NetworkChange {
    sim::SimTether tether = sim::SimTether::wifiHotspot;
    bool up = true;
};

// The Bluetooth controller's service reports an event, after its properties changed as given.
struct ControllerChange {
    ControllerEvent event;
    ControllerProperties properties;
};

// Nothing but the note: a line of the story in the transcript.
struct NoteOnly {};

using ScenarioAction =
    std::variant<NoteOnly, RadioStateChange, AuthorizationChange, UserScreenChange, UserInput,
                 SystemPowerChange, ShortcutOutcome, SettingsChange, UserSessionSwitch, ScreensWake,
                 SelfTestStart, NetworkChange, ControllerChange>;

struct ScenarioEvent {
    // Seconds after the start.
    double at = 0;
    ScenarioAction action;
    // Shown in the transcript when the event happens.
    std::optional<std::string> note;
};

// A whole simulated run: the world the program starts in, what happens, and for how long.
struct Scenario {
    std::optional<std::string> description;
    // Seconds of virtual time to run.
    double duration = 0;
    sim::SimPlatformOptions platform;
    // In the order they happen; events at the same time keep the order of the file.
    std::vector<ScenarioEvent> events;
};

}  // namespace ambleguard::cli
