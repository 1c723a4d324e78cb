#include "cli/ScenarioLoader.h"
#include "feedback/EventSoundPlayer.h"

#include "base/JsonNesting.h"
#include "unlock/PasswordStore.h"

#include "settings/SettingsKeys.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <map>
#include <set>

namespace ambleguard::cli {

std::string ScenarioError::describe() const {
    return path.empty() ? message : path + ": " + message;
}

namespace {
// Real time zones lie within fourteen hours of UTC.
constexpr std::int64_t kMaxOffsetMinutes = std::int64_t{14} * 60;

using nlohmann::json;

// Where in the document a value sits, for messages.
std::string member(const std::string& path, std::string_view key) {
    const bool plain = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
    });
    if (plain) {
        return path.empty() ? std::string(key) : path + "." + std::string(key);
    }
    return path + "[" + json(std::string(key)).dump(-1, ' ', true, json::error_handler_t::replace) +
           "]";
}

std::string element(const std::string& path, std::size_t index) {
    return fmt::format("{}[{}]", path, index);
}

std::string_view kindOf(const json& value) {
    switch (value.type()) {
        case json::value_t::null:
            return "null";
        case json::value_t::boolean:
            return "a boolean";
        case json::value_t::number_integer:
        case json::value_t::number_unsigned:
        case json::value_t::number_float:
            return "a number";
        case json::value_t::string:
            return "a text";
        case json::value_t::array:
            return "a list";
        case json::value_t::object:
            return "an object";
        default:
            return "something else";
    }
}

// Finds where a text stops being JSON, without exceptions: the DOM parser only says that it
// failed, the event parser also says where.
class ErrorPosition {
  public:
    bool null() { return true; }
    bool boolean(bool) { return true; }
    bool number_integer(json::number_integer_t) { return true; }
    bool number_unsigned(json::number_unsigned_t) { return true; }
    bool number_float(json::number_float_t, const json::string_t&) { return true; }
    bool string(json::string_t&) { return true; }
    bool binary(json::binary_t&) { return true; }
    bool start_object(std::size_t) { return true; }
    bool key(json::string_t&) { return true; }
    bool end_object() { return true; }
    bool start_array(std::size_t) { return true; }
    bool end_array() { return true; }
    bool parse_error(std::size_t position, const std::string&, const json::exception& error) {
        position_ = position;
        std::string what = error.what();
        // Keep the library's explanation, not its error code and position prefix.
        if (const auto at = what.find("syntax error"); at != std::string::npos) {
            what.erase(0, at);
        }
        // Nor what it last read: that may be part of a password.
        if (const auto lastRead = what.find("; last read:"); lastRead != std::string::npos) {
            what.erase(lastRead);
        }
        reason_ = what;
        return false;
    }

    std::size_t position() const { return position_; }
    const std::string& reason() const { return reason_; }

  private:
    std::size_t position_ = 0;
    std::string reason_ = "not valid JSON";
};

ScenarioError syntaxError(std::string_view text) {
    ErrorPosition handler;
    json::sax_parse(text, &handler);
    // The position counts bytes read, so it is one past the offending character.
    const std::size_t offset =
        std::min(handler.position() > 0 ? handler.position() - 1 : 0, text.size());
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return ScenarioError{
        "", fmt::format("not valid JSON (line {}, column {}): {}", line, column, handler.reason())};
}

std::optional<BleManagerState> radioStateNamed(std::string_view name) {
    static const std::pair<std::string_view, BleManagerState> names[] = {
        {"poweredOn", BleManagerState::poweredOn}, {"poweredOff", BleManagerState::poweredOff},
        {"resetting", BleManagerState::resetting}, {"unsupported", BleManagerState::unsupported},
        {"unknown", BleManagerState::unknown},
    };
    for (const auto& [text, state] : names) {
        if (text == name) {
            return state;
        }
    }
    return std::nullopt;
}

std::optional<BleAuthorization> authorizationNamed(std::string_view name) {
    static const std::pair<std::string_view, BleAuthorization> names[] = {
        {"allowedAlways", BleAuthorization::allowedAlways},
        {"denied", BleAuthorization::denied},
        {"restricted", BleAuthorization::restricted},
        {"notDetermined", BleAuthorization::notDetermined},
    };
    for (const auto& [text, authorization] : names) {
        if (text == name) {
            return authorization;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> hexBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    int high = -1;
    for (char c : text) {
        if (c == ' ') {
            continue;
        }
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0) {
        return std::nullopt;
    }
    return bytes;
}

// Reads one document, stopping at the first problem. Each reader returns false (or nothing)
// once an error is recorded, and callers pass that on.
class Loader {
  public:
    Result<Scenario, ScenarioError> load(const json& root) {
        Scenario scenario;
        if (readScenario(root, scenario)) {
            return scenario;
        }
        return failure(*error_);
    }

  private:
    bool fail(const std::string& path, std::string message) {
        if (!error_) {
            error_ = ScenarioError{path, std::move(message)};
        }
        return false;
    }

    // Refuses members other than `allowed`, so that a misspelt field is not silently ignored.
    bool onlyFields(const json& object, const std::string& path,
                    std::initializer_list<std::string_view> allowed) {
        for (const auto& [key, value] : object.items()) {
            if (std::find(allowed.begin(), allowed.end(), key) == allowed.end()) {
                std::string list;
                for (auto name : allowed) {
                    list += list.empty() ? "" : ", ";
                    list += name;
                }
                return fail(member(path, key), fmt::format("unknown field (expected {})", list));
            }
        }
        return true;
    }

    bool isObject(const json& value, const std::string& path) {
        return value.is_object() ||
               fail(path, fmt::format("expected an object, got {}", kindOf(value)));
    }

    bool isList(const json& value, const std::string& path) {
        return value.is_array() ||
               fail(path, fmt::format("expected a list, got {}", kindOf(value)));
    }

    std::optional<double> number(const json& value, const std::string& path, double min,
                                 double max) {
        if (!value.is_number()) {
            fail(path, fmt::format("expected a number, got {}", kindOf(value)));
            return std::nullopt;
        }
        const double n = value.get<double>();
        if (!std::isfinite(n) || n < min || n > max) {
            fail(path, fmt::format("{} is out of range ({} to {})", value.dump(), min, max));
            return std::nullopt;
        }
        return n;
    }

    std::optional<std::int64_t> wholeNumber(const json& value, const std::string& path,
                                            std::int64_t min, std::int64_t max) {
        if (!value.is_number_integer() ||
            (value.is_number_unsigned() &&
             value.get<std::uint64_t>() >
                 static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))) {
            fail(path, fmt::format("expected a whole number, got {}",
                                   value.is_number() ? value.dump() : std::string(kindOf(value))));
            return std::nullopt;
        }
        const auto n = value.get<std::int64_t>();
        if (n < min || n > max) {
            fail(path, fmt::format("{} is out of range ({} to {})", n, min, max));
            return std::nullopt;
        }
        return n;
    }

    std::optional<std::string> text(const json& value, const std::string& path) {
        if (!value.is_string()) {
            fail(path, fmt::format("expected a text, got {}", kindOf(value)));
            return std::nullopt;
        }
        return value.get<std::string>();
    }

    std::optional<bool> flag(const json& value, const std::string& path) {
        if (!value.is_boolean()) {
            fail(path, fmt::format("expected true or false, got {}", kindOf(value)));
            return std::nullopt;
        }
        return value.get<bool>();
    }

    std::optional<Uuid> uuid(const json& value, const std::string& path) {
        const auto t = text(value, path);
        if (!t) {
            return std::nullopt;
        }
        auto parsed = Uuid::parse(*t);
        if (!parsed) {
            fail(path, fmt::format("\"{}\" is not a UUID (8-4-4-4-12 hex digits)", *t));
        }
        return parsed;
    }

    // A time within the run.
    std::optional<double> eventTime(const json& value, const std::string& path) {
        return number(value, path, 0, duration_);
    }

    // ---- The document ----

    bool readScenario(const json& root, Scenario& scenario) {
        if (!isObject(root, "") ||
            !onlyFields(root, "",
                        {"description", "duration", "start", "utcOffsetMinutes", "bluetooth",
                         "settings", "devices", "tracked", "events", "session", "keychain",
                         "accessibility", "updates"})) {
            return false;
        }
        if (root.contains("description")) {
            scenario.description = text(root["description"], "description");
            if (!scenario.description) {
                return false;
            }
        }
        if (!root.contains("duration")) {
            return fail("duration", "missing: how many seconds to run");
        }
        const auto duration = number(root["duration"], "duration", 0, kMaxScenarioDuration);
        if (!duration) {
            return false;
        }
        if (*duration <= 0) {
            return fail("duration", "must be more than 0 seconds");
        }
        scenario.duration = duration_ = *duration;

        auto& options = scenario.platform;
        if (root.contains("start")) {
            const auto t = text(root["start"], "start");
            if (!t) {
                return false;
            }
            const auto at = parseIso8601(*t);
            if (!at) {
                return fail("start", fmt::format("\"{}\" is not an ISO 8601 date and time", *t));
            }
            options.start = *at;
        }
        if (root.contains("utcOffsetMinutes")) {
            const auto minutes = wholeNumber(root["utcOffsetMinutes"], "utcOffsetMinutes",
                                             -kMaxOffsetMinutes, kMaxOffsetMinutes);
            if (!minutes) {
                return false;
            }
            options.utcOffsetSeconds = static_cast<int>(*minutes * 60);
        }
        if (root.contains("bluetooth") && !readWorld(root["bluetooth"], options.bluetooth)) {
            return false;
        }
        if (root.contains("devices") && !readDevices(root["devices"], options.bluetooth)) {
            return false;
        }
        if (root.contains("settings") &&
            !readSettings(root["settings"], "settings", options.settings)) {
            return false;
        }
        if (root.contains("tracked") && !readTracked(root["tracked"], options)) {
            return false;
        }
        if (root.contains("events") && !readEvents(root["events"], scenario.events)) {
            return false;
        }
        if (!readUnlockWorld(root, options)) {
            return false;
        }
        if (root.contains("updates")) {
            if (!readUpdates(root["updates"], options)) {
                return false;
            }
        } else {
            // Without a version service in the story, the program is one built without the
            // update check, so a run says nothing about updates.
            options.program.updateEndpoint.clear();
        }
        // What a scenario starts from unless it says otherwise: a user who finished onboarding
        // and turned monitoring on, with every advertisement reported.
        options.settings.try_emplace(std::string(keys::userHasCompletedOnboarding), true);
        options.settings.try_emplace(std::string(keys::canScan), true);
        options.settings.try_emplace(std::string(keys::scanAllowDuplicates), true);
        options.soundFiles =
            EventSoundPlayer::installedSoundFiles(sim::SimSoundFiles::kResourceRoot);
        return true;
    }

    // The login session, the keychain and the permission to type. The passwords are never
    // quoted in an error message.
    bool readUnlockWorld(const json& root, sim::SimPlatformOptions& options) {
        if (root.contains("session")) {
            const json& session = root["session"];
            if (!isObject(session, "session") ||
                !onlyFields(session, "session", {"password", "unlock"})) {
                return false;
            }
            if (session.contains("password")) {
                auto password = text(session["password"], "session.password");
                if (!password) {
                    return false;
                }
                options.lockScreen.password = std::move(*password);
            }
            if (session.contains("unlock")) {
                const json& how = session["unlock"];
                if (how == "keystrokes") {
                    options.unlockMethod = UnlockMethod::keystrokes;
                } else if (how == "request") {
                    options.unlockMethod = UnlockMethod::sessionRequest;
                } else {
                    return fail("session.unlock", "expected \"keystrokes\" or \"request\"");
                }
            }
        }
        if (root.contains("keychain")) {
            const json& keychain = root["keychain"];
            if (!isObject(keychain, "keychain") ||
                !onlyFields(keychain, "keychain", {"password"})) {
                return false;
            }
            if (keychain.contains("password")) {
                auto password = text(keychain["password"], "keychain.password");
                if (!password) {
                    return false;
                }
                options.keychain.push_back({std::string(PasswordStore::keychainService),
                                            std::string(PasswordStore::itemLabel),
                                            std::move(*password)});
            }
        }
        if (root.contains("accessibility")) {
            const auto allowed = flag(root["accessibility"], "accessibility");
            if (!allowed) {
                return false;
            }
            options.lockScreen.mayPostEvents = *allowed;
        }
        return true;
    }

    bool readWorld(const json& value, sim::SimBluetoothConfig& config) {
        const std::string path = "bluetooth";
        if (!isObject(value, path) ||
            !onlyFields(value, path, {"state", "authorization", "seed"})) {
            return false;
        }
        if (value.contains("state")) {
            const auto name = text(value["state"], member(path, "state"));
            if (!name) {
                return false;
            }
            const auto state = radioStateNamed(*name);
            if (!state) {
                return fail(member(path, "state"),
                            fmt::format("unknown state \"{}\" (poweredOn, poweredOff, resetting, "
                                        "unsupported or unknown)",
                                        *name));
            }
            config.initialRadioState = *state;
        }
        if (value.contains("authorization")) {
            const auto name = text(value["authorization"], member(path, "authorization"));
            if (!name) {
                return false;
            }
            const auto authorization = authorizationNamed(*name);
            if (!authorization) {
                return fail(member(path, "authorization"),
                            fmt::format("unknown authorization \"{}\" (allowedAlways, denied, "
                                        "restricted or notDetermined)",
                                        *name));
            }
            config.initialAuthorization = *authorization;
        }
        if (value.contains("seed")) {
            const auto seed = wholeNumber(value["seed"], member(path, "seed"), 0,
                                          std::numeric_limits<std::int64_t>::max());
            if (!seed) {
                return false;
            }
            config.seed = static_cast<std::uint64_t>(*seed);
        }
        return true;
    }

    // The version service's answer and the running build.
    bool readUpdates(const json& value, sim::SimPlatformOptions& options) {
        const std::string path = "updates";
        if (!isObject(value, path) ||
            !onlyFields(value, path, {"status", "body", "error", "currentBuild"})) {
            return false;
        }
        options.program.build.reset();
        if (value.contains("currentBuild")) {
            options.program.build = text(value["currentBuild"], member(path, "currentBuild"));
            if (!options.program.build) {
                return false;
            }
        }
        if (value.contains("error") == value.contains("status")) {
            return fail(path,
                        "expected either \"status\" (the service answers) or \"error\" "
                        "(the request fails)");
        }
        if (value.contains("error")) {
            if (value.contains("body")) {
                return fail(member(path, "body"), "a failed request has no body");
            }
            const auto error = text(value["error"], member(path, "error"));
            if (!error) {
                return false;
            }
            options.versionAnswer = failure(*error);
            return true;
        }
        const auto status = wholeNumber(value["status"], member(path, "status"), 100, 599);
        if (!status) {
            return false;
        }
        HttpResponse response{static_cast<int>(*status), std::nullopt};
        if (value.contains("body")) {
            response.body = text(value["body"], member(path, "body"));
            if (!response.body) {
                return false;
            }
        }
        options.versionAnswer = std::move(response);
        return true;
    }

    bool readDevices(const json& value, sim::SimBluetoothConfig& config) {
        if (!isList(value, "devices")) {
            return false;
        }
        std::set<Uuid> seen;
        for (std::size_t i = 0; i < value.size(); ++i) {
            const std::string path = element("devices", i);
            sim::SimDeviceConfig device;
            if (!readDevice(value[i], path, device)) {
                return false;
            }
            if (!seen.insert(device.identifier).second) {
                return fail(member(path, "id"), "another device already has this id");
            }
            config.devices.push_back(std::move(device));
        }
        return true;
    }

    bool readDevice(const json& value, const std::string& path, sim::SimDeviceConfig& device) {
        if (!isObject(value, path) ||
            !onlyFields(
                value, path,
                {"id", "name", "advertisesName", "manufacturerData", "serviceUUIDs", "interval",
                 "phase", "rssi", "noise", "addressChanges", "connectable", "connection"})) {
            return false;
        }
        if (!value.contains("id")) {
            return fail(member(path, "id"), "missing: every device needs a UUID");
        }
        const auto id = uuid(value["id"], member(path, "id"));
        if (!id) {
            return false;
        }
        device.identifier = *id;
        if (value.contains("name")) {
            device.name = text(value["name"], member(path, "name"));
            if (!device.name) {
                return false;
            }
        }
        if (value.contains("advertisesName")) {
            const auto advertises = flag(value["advertisesName"], member(path, "advertisesName"));
            if (!advertises) {
                return false;
            }
            device.advertisesName = *advertises;
        }
        if (value.contains("manufacturerData")) {
            const std::string field = member(path, "manufacturerData");
            const auto hex = text(value["manufacturerData"], field);
            if (!hex) {
                return false;
            }
            auto bytes = hexBytes(*hex);
            if (!bytes) {
                return fail(field, "expected pairs of hex digits (spaces allowed)");
            }
            if (bytes->size() > 255) {
                return fail(field, "more than 255 bytes");
            }
            device.manufacturerData = std::move(*bytes);
        }
        if (value.contains("serviceUUIDs")) {
            const std::string field = member(path, "serviceUUIDs");
            const json& list = value["serviceUUIDs"];
            if (!isList(list, field)) {
                return false;
            }
            std::vector<std::string> services;
            for (std::size_t i = 0; i < list.size(); ++i) {
                auto service = text(list[i], element(field, i));
                if (!service) {
                    return false;
                }
                services.push_back(std::move(*service));
            }
            device.serviceUUIDs = std::move(services);
        }
        if (value.contains("interval")) {
            // Faster than a hundred times a second is no phone, and would make a long run crawl.
            const auto interval = number(value["interval"], member(path, "interval"), 0.01, 3600);
            if (!interval) {
                return false;
            }
            device.advertisingInterval = *interval;
        }
        if (value.contains("phase")) {
            const auto phase = number(value["phase"], member(path, "phase"), 0, 3600);
            if (!phase) {
                return false;
            }
            device.advertisingPhase = *phase;
        }
        if (!value.contains("rssi")) {
            return fail(member(path, "rssi"), "missing: a list of [t, dBm] points");
        }
        if (!readTimeline(value["rssi"], member(path, "rssi"), device.rssi)) {
            return false;
        }
        if (value.contains("noise") && !readNoise(value["noise"], member(path, "noise"), device)) {
            return false;
        }
        if (value.contains("addressChanges") &&
            !readAddressChanges(value["addressChanges"], member(path, "addressChanges"),
                                device.addressChanges)) {
            return false;
        }
        return readConnectable(value, path, device);
    }

    // A device that is not connectable lets a link request hang (as a real one does); one that
    // is accepts after `latency`, or refuses after it when it `fails`.
    bool readConnectable(const json& value, const std::string& path, sim::SimDeviceConfig& device) {
        bool connectable = false;
        if (value.contains("connectable")) {
            const auto given = flag(value["connectable"], member(path, "connectable"));
            if (!given) {
                return false;
            }
            connectable = *given;
        }
        device.connection.outcome =
            connectable ? sim::SimConnectOutcome::succeed : sim::SimConnectOutcome::neverComplete;
        if (!value.contains("connection")) {
            return true;
        }
        const std::string field = member(path, "connection");
        const json& v = value["connection"];
        if (!connectable) {
            return fail(field, "only a device with \"connectable\": true accepts connections");
        }
        if (!isObject(v, field) || !onlyFields(v, field, {"latency", "fails"})) {
            return false;
        }
        if (v.contains("latency")) {
            const auto latency = number(v["latency"], member(field, "latency"), 0, 3600);
            if (!latency) {
                return false;
            }
            device.connection.delay = *latency;
        }
        if (v.contains("fails")) {
            const auto fails = flag(v["fails"], member(field, "fails"));
            if (!fails) {
                return false;
            }
            if (*fails) {
                device.connection.outcome = sim::SimConnectOutcome::fail;
            }
        }
        return true;
    }

    bool readTimeline(const json& value, const std::string& path,
                      std::vector<sim::SimRssiPoint>& points) {
        if (!isList(value, path)) {
            return false;
        }
        if (value.empty()) {
            return fail(path, "needs at least one [t, dBm] point");
        }
        for (std::size_t i = 0; i < value.size(); ++i) {
            const std::string at = element(path, i);
            const json& p = value[i];
            if (!p.is_array() || p.size() < 2 || p.size() > 3) {
                return fail(at, "expected [t, dBm], [t, null] or [t, dBm, \"quiet\"]");
            }
            sim::SimRssiPoint point;
            const auto t = number(p[0], element(at, 0), 0, kMaxScenarioDuration);
            if (!t) {
                return false;
            }
            if (!points.empty() && *t < points.back().at) {
                return fail(at, fmt::format("time {} comes before the previous point's {}",
                                            p[0].dump(), points.back().at));
            }
            point.at = *t;
            if (!p[1].is_null()) {
                point.dbm = number(p[1], element(at, 1), -127, 127);
                if (!point.dbm) {
                    return false;
                }
            }
            if (p.size() == 3) {
                if (p[2] != "quiet" || !point.dbm) {
                    return fail(
                        element(at, 2),
                        "only \"quiet\" may follow a dBm value (in range, not advertising)");
                }
                point.advertising = false;
            }
            points.push_back(point);
        }
        return true;
    }

    bool readNoise(const json& value, const std::string& path, sim::SimDeviceConfig& device) {
        if (!isObject(value, path) || !onlyFields(value, path, {"sigma", "seed"})) {
            return false;
        }
        if (!value.contains("sigma")) {
            return fail(member(path, "sigma"), "missing: the noise's standard deviation in dB");
        }
        const auto sigma = number(value["sigma"], member(path, "sigma"), 0, 50);
        if (!sigma) {
            return false;
        }
        device.noiseSigma = *sigma;
        if (value.contains("seed")) {
            const auto seed = wholeNumber(value["seed"], member(path, "seed"), 0,
                                          std::numeric_limits<std::int64_t>::max());
            if (!seed) {
                return false;
            }
            device.noiseSeed = static_cast<std::uint64_t>(*seed);
        }
        return true;
    }

    bool readAddressChanges(const json& value, const std::string& path,
                            std::vector<sim::SimAddressChange>& changes) {
        if (!isList(value, path)) {
            return false;
        }
        for (std::size_t i = 0; i < value.size(); ++i) {
            const std::string at = element(path, i);
            const json& entry = value[i];
            if (!isObject(entry, at) || !onlyFields(entry, at, {"at", "id"})) {
                return false;
            }
            if (!entry.contains("at")) {
                return fail(member(at, "at"), "missing: when the address changes");
            }
            sim::SimAddressChange change;
            const auto t = number(entry["at"], member(at, "at"), 0, kMaxScenarioDuration);
            if (!t) {
                return false;
            }
            if (!changes.empty() && *t < changes.back().at) {
                return fail(member(at, "at"), "address changes must be in time order");
            }
            change.at = *t;
            if (entry.contains("id")) {
                change.identifier = uuid(entry["id"], member(at, "id"));
                if (!change.identifier) {
                    return false;
                }
            }
            changes.push_back(change);
        }
        return true;
    }

    // Settings, each typed by the key table.
    bool readSettings(const json& value, const std::string& path, SettingValues& out) {
        if (!isObject(value, path)) {
            return false;
        }
        for (const auto& [key, v] : value.items()) {
            const std::string at = member(path, key);
            const SettingKeySpec* entry = findSettingKey(key);
            if (entry == nullptr) {
                return fail(at, "unknown setting (`ambleguard settings list` shows them all)");
            }
            auto typed = settingValue(*entry, v, at);
            if (!typed) {
                return false;
            }
            out.insert_or_assign(key, std::move(*typed));
        }
        return true;
    }

    std::optional<SettingValue> settingValue(const SettingKeySpec& entry, const json& value,
                                             const std::string& path) {
        switch (entry.type) {
            case SettingType::boolean:
                if (value.is_boolean()) {
                    return SettingValue(value.get<bool>());
                }
                break;
            case SettingType::integer:
                if (value.is_number_integer()) {
                    if (auto n = wholeNumber(value, path, std::numeric_limits<std::int64_t>::min(),
                                             std::numeric_limits<std::int64_t>::max())) {
                        return SettingValue(*n);
                    }
                    return std::nullopt;
                }
                break;
            case SettingType::real:
                if (value.is_number()) {
                    return SettingValue(value.get<double>());
                }
                break;
            case SettingType::text:
                if (value.is_string()) {
                    return SettingValue(value.get<std::string>());
                }
                break;
            case SettingType::date: {
                // As in the settings file, {"date": "..."}; a plain text is accepted too.
                const json* date = &value;
                if (value.is_object() && value.size() == 1 && value.contains("date")) {
                    date = &value["date"];
                }
                if (date->is_string()) {
                    if (auto at = parseIso8601(date->get<std::string>())) {
                        return SettingValue(*at);
                    }
                    fail(path, fmt::format("{} is not an ISO 8601 date and time", date->dump()));
                    return std::nullopt;
                }
                break;
            }
        }
        fail(path, fmt::format("{} is a {} setting, got {}", entry.name, typeName(entry.type),
                               kindOf(value)));
        return std::nullopt;
    }

    bool readTracked(const json& value, sim::SimPlatformOptions& options) {
        const std::string path = "tracked";
        std::optional<Uuid> id;
        std::optional<std::string> name;
        std::optional<std::string> beaconIdentity;
        if (value.is_string()) {
            id = uuid(value, path);
        } else if (value.is_object()) {
            if (!onlyFields(value, path, {"id", "name", "beaconIdentity"})) {
                return false;
            }
            if (!value.contains("id")) {
                return fail(member(path, "id"), "missing: the tracked device's UUID");
            }
            id = uuid(value["id"], member(path, "id"));
            if (id && value.contains("name")) {
                name = text(value["name"], member(path, "name"));
                if (!name) {
                    return false;
                }
            }
            if (id && value.contains("beaconIdentity")) {
                beaconIdentity = text(value["beaconIdentity"], member(path, "beaconIdentity"));
                if (!beaconIdentity) {
                    return false;
                }
            }
        } else {
            return fail(path,
                        fmt::format("expected a device UUID or an object, got {}", kindOf(value)));
        }
        if (!id) {
            return false;
        }
        for (auto key : {keys::checkedPeripheralUUID, keys::checkedPeripheralName,
                         keys::checkedBeaconIdentity}) {
            if (options.settings.contains(key)) {
                return fail(path, fmt::format("settings.{} chooses the device too; use one of "
                                              "the two",
                                              key));
            }
        }
        if (!name) {
            // The name the user saw when choosing it: the device's own.
            for (const auto& device : options.bluetooth.devices) {
                if (device.identifier == *id) {
                    name = device.name;
                }
            }
        }
        options.settings[std::string(keys::checkedPeripheralUUID)] = id->toString();
        if (name) {
            options.settings[std::string(keys::checkedPeripheralName)] = *name;
        }
        if (beaconIdentity) {
            options.settings[std::string(keys::checkedBeaconIdentity)] = *beaconIdentity;
        }
        return true;
    }

    bool readEvents(const json& value, std::vector<ScenarioEvent>& events) {
        if (!isList(value, "events")) {
            return false;
        }
        for (std::size_t i = 0; i < value.size(); ++i) {
            ScenarioEvent event;
            if (!readEvent(value[i], element("events", i), event)) {
                return false;
            }
            events.push_back(std::move(event));
        }
        std::stable_sort(events.begin(), events.end(),
                         [](const auto& a, const auto& b) { return a.at < b.at; });
        return true;
    }

    bool readEvent(const json& value, const std::string& path, ScenarioEvent& event) {
        static constexpr std::string_view kinds[] = {
            "bluetooth", "authorization", "screen",   "session", "input",     "system",
            "shortcut",  "set",           "selfTest", "network", "controller"};
        if (!isObject(value, path)) {
            return false;
        }
        if (!value.contains("at")) {
            return fail(member(path, "at"), "missing: when it happens (seconds from the start)");
        }
        const auto at = eventTime(value["at"], member(path, "at"));
        if (!at) {
            return false;
        }
        event.at = *at;
        if (value.contains("note")) {
            event.note = text(value["note"], member(path, "note"));
            if (!event.note) {
                return false;
            }
        }
        std::optional<std::string_view> kind;
        for (auto k : kinds) {
            if (value.contains(k)) {
                if (kind) {
                    return fail(
                        path, fmt::format("one thing per event: both \"{}\" and \"{}\"", *kind, k));
                }
                kind = k;
            }
        }
        if (!kind) {
            if (!event.note) {
                return fail(path,
                            "says nothing happens: expected one of bluetooth, authorization, "
                            "screen, session, input, system, shortcut, set, selfTest, network, "
                            "controller or note");
            }
            return onlyFields(value, path, {"at", "note"});
        }
        const std::string field = member(path, *kind);
        const json& v = value[std::string(*kind)];
        if (*kind == "shortcut") {
            return readShortcutEvent(value, path, event);
        }
        if (!onlyFields(value, path, {"at", "note", *kind})) {
            return false;
        }
        if (*kind == "bluetooth") {
            const auto name = text(v, field);
            if (!name) {
                return false;
            }
            const auto state = radioStateNamed(*name);
            if (!state) {
                return fail(field, fmt::format("unknown state \"{}\" (poweredOn, poweredOff, "
                                               "resetting, unsupported or unknown)",
                                               *name));
            }
            event.action = RadioStateChange{*state};
        } else if (*kind == "authorization") {
            const auto name = text(v, field);
            if (!name) {
                return false;
            }
            const auto authorization = authorizationNamed(*name);
            if (!authorization) {
                return fail(field, fmt::format("unknown authorization \"{}\" (allowedAlways, "
                                               "denied, restricted or notDetermined)",
                                               *name));
            }
            event.action = AuthorizationChange{*authorization};
        } else if (*kind == "screen") {
            if (v != "lock" && v != "unlock") {
                return fail(field, "expected \"lock\" or \"unlock\"");
            }
            event.action = UserScreenChange{v == "lock"};
        } else if (*kind == "session") {
            if (v != "switchAway" && v != "switchBack") {
                return fail(field, "expected \"switchAway\" or \"switchBack\"");
            }
            event.action = UserSessionSwitch{v == "switchAway"};
        } else if (*kind == "system") {
            if (v == "screensWake") {
                event.action = ScreensWake{};
                return true;
            }
            if (v != "sleep" && v != "wake") {
                return fail(field, "expected \"sleep\" or \"wake\" (or \"screensWake\")");
            }
            event.action = SystemPowerChange{v == "sleep"};
        } else if (*kind == "selfTest") {
            if (!isObject(v, field) || !onlyFields(v, field, {"candidate"})) {
                return false;
            }
            if (!v.contains("candidate")) {
                return fail(member(field, "candidate"), "missing: the password to test");
            }
            auto candidate = text(v["candidate"], member(field, "candidate"));
            if (!candidate) {
                return false;
            }
            event.action = SelfTestStart{std::move(*candidate)};
        } else if (*kind == "input") {
            return readInput(v, field, event);
        } else if (*kind == "network") {
            return readNetwork(v, field, event);
        } else if (*kind == "controller") {
            return readController(v, field, event);
        } else if (*kind == "set") {
            SettingsChange change;
            if (!readSettings(v, field, change.values)) {
                return false;
            }
            if (change.values.empty()) {
                return fail(field, "changes nothing");
            }
            event.action = std::move(change);
        }
        return true;
    }

    bool readNetwork(const json& v, const std::string& path, ScenarioEvent& event) {
        if (!isObject(v, path) || !onlyFields(v, path, {"kind", "up"})) {
            return false;
        }
        NetworkChange change;
        if (v.contains("kind") && v["kind"] == "wifiHotspot") {
            change.tether = sim::SimTether::wifiHotspot;
        } else if (v.contains("kind") && v["kind"] == "bluetoothPAN") {
            change.tether = sim::SimTether::bluetoothPAN;
        } else {
            return fail(member(path, "kind"), "expected \"wifiHotspot\" or \"bluetoothPAN\"");
        }
        if (!v.contains("up")) {
            return fail(member(path, "up"), "missing: true when the tether comes up");
        }
        const auto up = flag(v["up"], member(path, "up"));
        if (!up) {
            return false;
        }
        change.up = *up;
        event.action = change;
        return true;
    }

    // "resumed" or {"event": "resumed", "properties": {"BT Power State": 1, ...}}; an event
    // may also be a number (a message the monitor does not know).
    bool readController(const json& v, const std::string& path, ScenarioEvent& event) {
        ControllerChange change;
        const json* name = &v;
        std::string namePath = path;
        if (v.is_object()) {
            if (!onlyFields(v, path, {"event", "properties"})) {
                return false;
            }
            if (!v.contains("event")) {
                return fail(member(path, "event"), "missing: what the controller reports");
            }
            name = &v["event"];
            namePath = member(path, "event");
            if (v.contains("properties") &&
                !readControllerProperties(v["properties"], member(path, "properties"),
                                          change.properties)) {
                return false;
            }
        }
        static constexpr std::pair<std::string_view, ControllerEventKind> kKinds[] = {
            {"terminated", ControllerEventKind::terminated},
            {"suspended", ControllerEventKind::suspended},
            {"resumed", ControllerEventKind::resumed},
            {"requestingClose", ControllerEventKind::requestingClose},
            {"wasClosed", ControllerEventKind::wasClosed},
            {"busyStateChanged", ControllerEventKind::busyStateChanged},
        };
        if (name->is_number_unsigned()) {
            const auto code = wholeNumber(*name, namePath, 0, 0xFFFFFFFF);
            if (!code) {
                return false;
            }
            change.event =
                ControllerEvent{ControllerEventKind::other, static_cast<std::uint32_t>(*code)};
        } else {
            const auto* found = std::find_if(
                std::begin(kKinds), std::end(kKinds),
                [&](const auto& entry) { return name->is_string() && *name == entry.first; });
            if (found == std::end(kKinds)) {
                return fail(namePath,
                            "expected terminated, suspended, resumed, requestingClose, "
                            "wasClosed, busyStateChanged or a message number");
            }
            change.event = ControllerEvent{found->second, 0};
        }
        event.action = std::move(change);
        return true;
    }

    bool readControllerProperties(const json& v, const std::string& path,
                                  ControllerProperties& properties) {
        if (!isObject(v, path)) {
            return false;
        }
        for (const auto& [key, value] : v.items()) {
            const std::string field = member(path, key);
            if (value.is_number_integer()) {
                properties[key] = value.get<std::int64_t>();
            } else if (value.is_string()) {
                properties[key] = value.get<std::string>();
            } else if (value.is_array() &&
                       std::all_of(value.begin(), value.end(),
                                   [](const json& item) { return item.is_string(); })) {
                properties[key] = value.get<std::vector<std::string>>();
            } else if (value.is_object() &&
                       std::all_of(value.begin(), value.end(),
                                   [](const json& item) { return item.is_string(); })) {
                properties[key] = value.get<std::map<std::string, std::string>>();
            } else {
                return fail(field,
                            "expected a whole number, a text, a list of texts or an object of "
                            "texts");
            }
        }
        return true;
    }

    bool readInput(const json& v, const std::string& path, ScenarioEvent& event) {
        UserInput input;
        if (v == true) {
            event.action = input;
            return true;
        }
        if (!v.is_object()) {
            return fail(path,
                        "expected true (one input) or {\"until\": t, \"every\": seconds, "
                        "\"source\": ..., \"process\": ...}");
        }
        if (!onlyFields(v, path, {"until", "every", "source", "process"})) {
            return false;
        }
        if (!readInputSource(v, path, input)) {
            return false;
        }
        if (!v.contains("until")) {
            if (v.contains("every")) {
                return fail(member(path, "until"), "missing: when the input stops");
            }
            event.action = input;  // one input
            return true;
        }
        input.until = eventTime(v["until"], member(path, "until"));
        if (!input.until) {
            return false;
        }
        if (*input.until < event.at) {
            return fail(member(path, "until"), "comes before the event's own time");
        }
        if (v.contains("every")) {
            const auto every = number(v["every"], member(path, "every"), 0.01, 3600);
            if (!every) {
                return false;
            }
            input.every = *every;
        }
        event.action = input;
        return true;
    }

    bool readInputSource(const json& v, const std::string& path, UserInput& input) {
        if (v.contains("source")) {
            const json& source = v["source"];
            if (source == "human") {
                input.source = InputSource::human;
            } else if (source == "synthetic") {
                input.source = InputSource::synthetic;
            } else if (source == "declared") {
                input.source = InputSource::declared;
            } else {
                return fail(member(path, "source"),
                            "expected \"human\", \"synthetic\" or \"declared\"");
            }
        }
        if (v.contains("process")) {
            if (input.source == InputSource::human) {
                return fail(member(path, "process"),
                            "only synthetic or declared input comes from a process");
            }
            auto process = text(v["process"], member(path, "process"));
            if (!process) {
                return false;
            }
            input.process = std::move(*process);
        } else if (input.source == InputSource::declared) {
            return fail(member(path, "process"), "missing: the program that declares activity");
        } else if (input.source == InputSource::synthetic) {
            input.process = "a program";
        }
        return true;
    }

    bool readShortcutEvent(const json& value, const std::string& path, ScenarioEvent& event) {
        if (!onlyFields(value, path,
                        {"at", "note", "shortcut", "exitStatus", "stdout", "stderr", "duration",
                         "launchFailure", "neverEnds"})) {
            return false;
        }
        ShortcutOutcome outcome;
        auto name = text(value["shortcut"], member(path, "shortcut"));
        if (!name) {
            return false;
        }
        outcome.name = std::move(*name);
        ProcessExit exit;
        if (value.contains("exitStatus")) {
            const auto status =
                wholeNumber(value["exitStatus"], member(path, "exitStatus"), 0, 255);
            if (!status) {
                return false;
            }
            exit.status = static_cast<int>(*status);
        }
        for (auto [key, target] : {std::pair{"stdout", &exit.standardOutput},
                                   std::pair{"stderr", &exit.standardError}}) {
            if (value.contains(key)) {
                auto t = text(value[key], member(path, key));
                if (!t) {
                    return false;
                }
                *target = std::move(*t);
            }
        }
        outcome.script.result = exit;
        if (value.contains("launchFailure")) {
            auto description = text(value["launchFailure"], member(path, "launchFailure"));
            if (!description) {
                return false;
            }
            if (value.contains("exitStatus")) {
                return fail(path, "a shortcut that cannot start has no exit status");
            }
            outcome.script.result = failure(std::move(*description));
        }
        if (value.contains("duration")) {
            const auto seconds =
                number(value["duration"], member(path, "duration"), 0, kMaxScenarioDuration);
            if (!seconds) {
                return false;
            }
            outcome.script.delay = *seconds;
        }
        if (value.contains("neverEnds")) {
            const auto never = flag(value["neverEnds"], member(path, "neverEnds"));
            if (!never) {
                return false;
            }
            outcome.script.neverEnds = *never;
        }
        event.action = std::move(outcome);
        return true;
    }

    double duration_ = 0;
    std::optional<ScenarioError> error_;
};

}  // namespace

Result<Scenario, ScenarioError> parseScenario(std::string_view text) {
    if (!jsonNestingWithin(text)) {
        return failure(
            ScenarioError{"", fmt::format("nested more than {} levels deep", kMaxJsonNesting)});
    }
    const json root = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (root.is_discarded()) {
        return failure(syntaxError(text));
    }
    return Loader().load(root);
}

}  // namespace ambleguard::cli
