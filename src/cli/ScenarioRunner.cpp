#include "cli/ScenarioRunner.h"

#include "cli/TranscriptPrinter.h"
#include "unlock/PasswordText.h"

#include <fmt/format.h>

#include <algorithm>

namespace ambleguard::cli {

namespace {

std::string_view radioStateName(BleManagerState state) {
    switch (state) {
        case BleManagerState::unknown:
            return "unknown";
        case BleManagerState::resetting:
            return "resetting";
        case BleManagerState::unsupported:
            return "unsupported";
        case BleManagerState::unauthorized:
            return "unauthorized";
        case BleManagerState::poweredOff:
            return "poweredOff";
        case BleManagerState::poweredOn:
            return "poweredOn";
    }
    return "unknown";
}

std::string_view authorizationName(BleAuthorization authorization) {
    switch (authorization) {
        case BleAuthorization::notDetermined:
            return "notDetermined";
        case BleAuthorization::restricted:
            return "restricted";
        case BleAuthorization::denied:
            return "denied";
        case BleAuthorization::allowedAlways:
            return "allowedAlways";
    }
    return "notDetermined";
}

// The file name at the end of a path.
std::string_view baseName(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view controllerEventName(const ControllerEvent& event) {
    switch (event.kind) {
        case ControllerEventKind::terminated:
            return "terminated";
        case ControllerEventKind::suspended:
            return "suspended";
        case ControllerEventKind::resumed:
            return "resumed";
        case ControllerEventKind::requestingClose:
            return "requestingClose";
        case ControllerEventKind::wasClosed:
            return "wasClosed";
        case ControllerEventKind::busyStateChanged:
            return "busyStateChanged";
        case ControllerEventKind::other:
            break;
    }
    return "other";
}

// The transcript line of a scenario event.
TranscriptEntry describeEvent(const ScenarioEvent& event) {
    TranscriptEntry entry;
    entry.kind = TranscriptEntry::Kind::event;
    struct Describe {
        TranscriptEntry& entry;

        void operator()(const NoteOnly&) { entry.name = "note"; }
        void operator()(const RadioStateChange& change) {
            entry.name = "bluetooth";
            entry.fields = {{"state", std::string(radioStateName(change.state))}};
            entry.text = fmt::format("Bluetooth radio: {}", radioStateName(change.state));
        }
        void operator()(const AuthorizationChange& change) {
            const auto name = authorizationName(change.authorization);
            entry.name = "authorization";
            entry.fields = {{"authorization", std::string(name)}};
            entry.text = fmt::format("Bluetooth permission: {}", name);
        }
        void operator()(const UserScreenChange& change) {
            entry.name = "screen";
            entry.fields = {{"user", change.lock ? "lock" : "unlock"}};
            entry.text = change.lock ? "the user locks the screen" : "the user unlocks the screen";
        }
        void operator()(const UserSessionSwitch& change) {
            entry.name = "session";
            entry.fields = {{"session", change.away ? "switchAway" : "switchBack"}};
            entry.text = change.away ? "another user's session comes to the front"
                                     : "the user switches back to this session";
        }
        void operator()(const UserInput& input) {
            entry.name = "input";
            if (input.source != InputSource::human) {
                const bool synthetic = input.source == InputSource::synthetic;
                entry.fields = {{"source", synthetic ? "synthetic" : "declared"},
                                {"process", input.process}};
                entry.text =
                    input.process +
                    (synthetic ? " posts input events" : " declares user activity") +
                    (input.until ? fmt::format(" until {} s", formatSeconds(*input.until)) : "");
                if (input.until) {
                    entry.fields.emplace_back("until", formatSeconds(*input.until));
                }
            } else if (input.until) {
                entry.fields = {{"until", formatSeconds(*input.until)}};
                entry.text = fmt::format("the user is busy at the keyboard until {} s",
                                         formatSeconds(*input.until));
            } else {
                entry.text = "the user presses a key";
            }
        }
        void operator()(const ScreensWake&) {
            entry.name = "system";
            entry.fields = {{"power", "screensWake"}};
            entry.text = "the displays wake";
        }
        void operator()(const SelfTestStart& test) {
            // The candidate's length only: the transcript never shows a password.
            entry.name = "selfTest";
            entry.counts = {
                {"candidateLength", static_cast<long long>(characterCount(test.candidate))}};
            entry.text = "the user tests auto-unlock with a candidate password";
        }
        void operator()(const SystemPowerChange& change) {
            entry.name = "system";
            entry.fields = {{"power", change.sleep ? "sleep" : "wake"}};
            entry.text = change.sleep ? "the computer goes to sleep" : "the computer wakes up";
        }
        void operator()(const ShortcutOutcome& outcome) {
            entry.name = "shortcut";
            entry.fields = {{"name", outcome.name}};
            if (const auto& result = outcome.script.result; !result) {
                entry.fields.emplace_back("launchFailure", result.error());
                entry.text = fmt::format("shortcut \"{}\" will fail to start: {}", outcome.name,
                                         result.error());
            } else if (outcome.script.neverEnds) {
                entry.text = fmt::format("shortcut \"{}\" will never finish", outcome.name);
            } else {
                const auto status = outcome.script.result.value().status;
                entry.fields.emplace_back("exitStatus", std::to_string(status));
                entry.text =
                    fmt::format("shortcut \"{}\" will exit with status {}", outcome.name, status);
            }
        }
        void operator()(const SettingsChange& change) {
            entry.name = "set";
            std::string list;
            for (const auto& [key, value] : change.values) {
                entry.fields.emplace_back(key, formatSettingValue(value));
                list += fmt::format("{}{} = {}", list.empty() ? "" : ", ", key,
                                    formatSettingValue(value));
            }
            entry.text = "the user changes settings: " + list;
        }
        void operator()(const NetworkChange& change) {
            const bool wifi = change.tether == sim::SimTether::wifiHotspot;
            entry.name = "network";
            entry.fields = {{"kind", wifi ? "wifiHotspot" : "bluetoothPAN"},
                            {"up", change.up ? "true" : "false"}};
            entry.text =
                fmt::format("{} {}", wifi ? "the phone's Wi-Fi hotspot" : "a Bluetooth PAN link",
                            change.up ? "comes up" : "goes down");
        }
        void operator()(const ControllerChange& change) {
            entry.name = "controller";
            const auto name = controllerEventName(change.event);
            entry.fields = {{"event", std::string(name)}};
            entry.text =
                change.event.kind == ControllerEventKind::other
                    ? fmt::format("the Bluetooth controller reports message {}", change.event.code)
                    : fmt::format("the Bluetooth controller reports: {}", name);
            if (change.event.kind == ControllerEventKind::other) {
                entry.fields.emplace_back("code", std::to_string(change.event.code));
            }
        }
    };
    std::visit(Describe{entry}, event.action);
    if (event.note) {
        entry.fields.emplace_back("note", *event.note);
        // The story first, what it means for the simulated world after it.
        entry.text = entry.text.empty() ? *event.note : *event.note + " [" + entry.text + "]";
    }
    return entry;
}

}  // namespace

// ---- Output ----

void ScenarioRunner::Output::write(const LogRecord& record) {
    if (!sink_.wantsLog(record.level)) {
        return;
    }
    TranscriptEntry entry;
    entry.kind = TranscriptEntry::Kind::log;
    entry.category = std::string(record.category);
    entry.level = record.level;
    entry.text = record.text;
    runner_.emit(std::move(entry));
}

bool ScenarioRunner::Output::accepts(LogLevel level) const {
    // Lines nobody will see are not even formatted: long runs log a lot.
    return sink_.wantsLog(level);
}

void ScenarioRunner::Output::writeLine(std::string_view text) {
    TranscriptEntry entry;
    entry.kind = TranscriptEntry::Kind::output;
    entry.text = std::string(text);
    runner_.emit(std::move(entry));
}

// ---- The run ----

namespace {

PlatformPorts portsWithShell(sim::SimPlatform& platform, const ScenarioRunner::ShellChoice& shell) {
    AppShell* chosen = shell ? shell(platform) : nullptr;
    return chosen != nullptr ? platform.ports().withShell(*chosen) : platform.ports();
}

}  // namespace

ScenarioRunner::ScenarioRunner(const Scenario& scenario, TranscriptSink& sink,
                               const ShellChoice& shell)
    : sink_(sink),
      output_(*this, sink),
      start_(scenario.platform.start),
      duration_(scenario.duration),
      events_(scenario.events),
      platform(scenario.platform, output_, output_),
      app(portsWithShell(platform, shell)) {
    observePlatform();
}

double ScenarioRunner::now() const {
    // Safe while the platform is still being built: its clock is the first thing it builds,
    // before anything that can log.
    return secondsBetween(start_, platform.clock.now());
}

void ScenarioRunner::emit(TranscriptEntry entry) {
    entry.t = now();
    sink_.entry(entry);
}

void ScenarioRunner::action(std::string name, std::string text,
                            std::vector<std::pair<std::string, std::string>> fields) {
    TranscriptEntry entry;
    entry.kind = TranscriptEntry::Kind::action;
    entry.name = std::move(name);
    entry.text = std::move(text);
    entry.fields = std::move(fields);
    emit(std::move(entry));
}

void ScenarioRunner::observePlatform() {
    observers_.push_back(platform.screenSession.onAction([this](const auto& a) {
        // The user's own doings are the scenario's events; the rest is the session's answer to
        // the program.
        if (a.what == "user locks the screen" || a.what == "user types the password") {
            return;
        }
        if (a.what == "direct lock requested") {
            action("lockScreen", "lock screen requested");
        } else if (a.what == "screen locked") {
            ++summary_.screenLocks;
            action("screenLocked", "screen locked");
        } else if (a.what == "screen unlocked") {
            action("screenUnlocked", "screen unlocked");
        } else if (a.what == "screen saver started" ||
                   a.what == "screen saver application launched") {
            ++summary_.screenSaverStarts;
            action("screenSaver", a.what);
        } else {
            action("screen", a.what, {{"what", a.what}});
        }
    }));
    observers_.push_back(platform.lockScreen.onAction([this](const auto& a) {
        using Kind = sim::SimLockScreen::Action::Kind;
        switch (a.kind) {
            case Kind::key: {
                const std::string_view key = a.key == InjectedKey::space       ? "Space"
                                             : a.key == InjectedKey::returnKey ? "Return"
                                                                               : "Delete";
                action("key", fmt::format("key pressed: {}", key), {{"key", std::string(key)}});
                break;
            }
            case Kind::typed: {
                // How many units, never which.
                TranscriptEntry entry;
                entry.kind = TranscriptEntry::Kind::action;
                entry.name = "typed";
                entry.text = fmt::format("typed {} UTF-16 units", a.units);
                entry.counts = {{"units", static_cast<long long>(a.units)}};
                emit(std::move(entry));
                break;
            }
            case Kind::unlockRequested:
                action("unlockRequested", "session unlock requested");
                break;
            case Kind::displayWake:
                action("displayWake", "display wake requested (user activity declared)");
                break;
        }
    }));
    observers_.push_back(platform.processLauncher.onRun([this](const auto& run) {
        const auto& args = run.arguments;
        if (args.size() == 2 && args[0] == "run") {
            summary_.shortcutsRun.push_back(args[1]);
            action("shortcut", fmt::format("shortcut run: {}", args[1]), {{"name", args[1]}});
            return;
        }
        std::string commandLine = run.executable;
        for (const auto& arg : args) {
            commandLine += " " + arg;
        }
        action("process", fmt::format("process started: {}", commandLine),
               {{"executable", run.executable}});
    }));
    observers_.push_back(platform.soundOutput.onPlay([this](const auto& playback) {
        ++summary_.soundsPlayed;
        action("sound",
               fmt::format("sound played: {} (volume {:.2f})", baseName(playback.path),
                           playback.volume),
               {{"file", playback.path}});
    }));
    observers_.push_back(platform.notifier.onDeliver([this](const NotificationRequest& request) {
        ++summary_.notifications;
        action("notification",
               fmt::format("notification posted: {}: {}", request.title, request.body),
               {{"title", request.title}, {"body", request.body}});
    }));
    observers_.push_back(app.updates.hasAvailableUpdate().observe([this](const bool&) {
        const std::string title(app.updates.menuTitle());
        action("updateMenu", fmt::format("status menu update entry: {}", title),
               {{"title", title}});
    }));
    observers_.push_back(platform.bluetooth.onLinkRequest([this](const sim::SimLinkRequest& r) {
        const std::string device = r.name.value_or(r.identifier.toString());
        action(r.connect ? "connect" : "disconnect",
               fmt::format("{} {}", r.connect ? "link requested to" : "link cancelled to", device),
               {{"device", device}});
    }));
    auto& pipeline = app.scanner.pipeline();
    observers_.push_back(pipeline.onEffect([this](const PresenceEngine::Effect& effect) {
        if (std::holds_alternative<PresenceEngine::BecameGone>(effect)) {
            ++summary_.departures;
        } else if (std::holds_alternative<PresenceEngine::Returned>(effect)) {
            ++summary_.returns;
        }
    }));
}

void ScenarioRunner::launch() {
    if (launched_) {
        return;
    }
    launched_ = true;
    app.launch();
    for (const auto& event : events_) {
        schedule(event);
    }
}

void ScenarioRunner::run() {
    launch();
    runUntil(duration_);
}

void ScenarioRunner::runUntil(double t) {
    launch();
    platform.loop.advanceTo(addSeconds(start_, std::min(t, duration_)));
}

void ScenarioRunner::schedule(const ScenarioEvent& event) {
    // The loop starts at the scenario's start, so an event's time is its delay from now.
    platform.loop.postAfter(event.at - now(), [this, &event] { happen(event); });
}

void ScenarioRunner::happen(const ScenarioEvent& event) {
    // The line comes before the consequences, which the change may log at once.
    emit(describeEvent(event));
    struct Apply {
        ScenarioRunner& runner;
        sim::SimPlatform& p;

        void operator()(const NoteOnly&) {}
        void operator()(const RadioStateChange& change) { p.bluetooth.setRadioState(change.state); }
        void operator()(const AuthorizationChange& change) {
            p.bluetooth.setAuthorization(change.authorization);
        }
        void operator()(const UserScreenChange& change) {
            if (change.lock) {
                p.screenSession.userLocksScreen();
            } else {
                p.screenSession.userUnlocksScreen();
            }
        }
        void operator()(const UserSessionSwitch& change) {
            if (change.away) {
                p.screenSession.userSwitchesAway();
            } else {
                p.screenSession.userSwitchesBack();
            }
        }
        void operator()(const UserInput& input) {
            runner.input(input);
            if (input.until) {
                runner.keepTyping(input);
            }
        }
        void operator()(const ScreensWake&) { p.systemPower.screensDidWake(); }
        void operator()(const SelfTestStart& test) {
            runner.app.unlockTest.startTest(test.candidate);
        }
        void operator()(const SystemPowerChange& change) {
            if (change.sleep) {
                p.systemPower.systemWillSleep();
            } else {
                // Waking the computer wakes its displays too.
                p.systemPower.systemDidWake();
                p.systemPower.screensDidWake();
            }
        }
        void operator()(const ShortcutOutcome& outcome) {
            p.processLauncher.setScript(outcome.name, outcome.script);
        }
        void operator()(const SettingsChange& change) {
            for (const auto& [key, value] : change.values) {
                runner.app.settings.set(key, value);
            }
        }
        void operator()(const NetworkChange& change) {
            p.networkLinks.setTether(change.tether, change.up);
        }
        void operator()(const ControllerChange& change) {
            for (const auto& [key, value] : change.properties) {
                p.bluetoothController.setProperty(key, value);
            }
            p.bluetoothController.inject(change.event);
        }
    };
    std::visit(Apply{*this, platform}, event.action);
}

void ScenarioRunner::input(const UserInput& input) {
    switch (input.source) {
        case InputSource::human:
            platform.lockScreen.humanInput("Keyboard");
            break;
        case InputSource::synthetic:
            platform.lockScreen.syntheticInput(input.process);
            break;
        case InputSource::declared:
            platform.lockScreen.declaredActivity(input.process, "user activity");
            break;
    }
}

void ScenarioRunner::keepTyping(const UserInput& busy) {
    if (now() + busy.every > *busy.until + 1e-9) {
        return;
    }
    platform.loop.postAfter(busy.every, [this, busy] {
        input(busy);
        keepTyping(busy);
    });
}

}  // namespace ambleguard::cli
