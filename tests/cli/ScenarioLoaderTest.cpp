#include "cli/ScenarioLoader.h"

#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ambleguard::cli {
namespace {

constexpr const char* kPhone = "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345";

Scenario load(const std::string& text) {
    auto result = parseScenario(text);
    if (!result) {
        const ScenarioError& error = result.error();
        ADD_FAILURE() << "refused: " << error.describe();
        return {};
    }
    return std::move(result).value();
}

ScenarioError refuse(const std::string& text) {
    auto result = parseScenario(text);
    if (!result) {
        const ScenarioError& error = result.error();
        return error;
    }
    ADD_FAILURE() << "accepted: " << text;
    return {};
}

TEST(ScenarioLoaderTest, ReadsAWholeScenario) {
    const auto s = load(R"({
      "description": "two devices",
      "duration": 120.5,
      "start": "2026-03-02T07:30:00Z",
      "utcOffsetMinutes": 60,
      "bluetooth": {"state": "poweredOff", "authorization": "denied", "seed": 9},
      "devices": [
        {"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345", "name": "Phone", "interval": 0.5,
         "manufacturerData": "4c00 1005", "rssi": [[0, -50], [10, null], [20, -60, "quiet"]],
         "noise": {"sigma": 2.5, "seed": 4},
         "addressChanges": [{"at": 30}, {"at": 60, "id": "11111111-2222-3333-4444-555555555555"}]},
        {"id": "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", "rssi": [[5, -70]]}
      ],
      "tracked": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
      "settings": {"averageMinRSSI": -70, "scheduleStartHour": 3, "lockMode": "Run Shortcut",
                   "lastScreenUnlockTime": {"date": "2026-03-02T07:00:00Z"}},
      "events": [
        {"at": 50, "set": {"soundsEnabled": true}},
        {"at": 10, "bluetooth": "poweredOn", "note": "radio back"},
        {"at": 10, "screen": "lock"},
        {"at": 20, "input": {"until": 40, "every": 2}},
        {"at": 30, "shortcut": "Leave", "exitStatus": 1, "stderr": "boom", "duration": 2},
        {"at": 31, "shortcut": "Other", "launchFailure": "missing"},
        {"at": 40, "system": "sleep"},
        {"at": 45, "note": "just a line"}
      ]
    })");
    EXPECT_EQ(s.description, "two devices");
    EXPECT_DOUBLE_EQ(s.duration, 120.5);
    EXPECT_EQ(formatIso8601(s.platform.start), "2026-03-02T07:30:00Z");
    EXPECT_EQ(s.platform.utcOffsetSeconds, 3600);
    const auto& bt = s.platform.bluetooth;
    EXPECT_EQ(bt.initialRadioState, BleManagerState::poweredOff);
    EXPECT_EQ(bt.initialAuthorization, BleAuthorization::denied);
    EXPECT_EQ(bt.seed, 9u);
    ASSERT_EQ(bt.devices.size(), 2u);
    const auto& phone = bt.devices[0];
    EXPECT_EQ(phone.name, "Phone");
    EXPECT_DOUBLE_EQ(phone.advertisingInterval, 0.5);
    EXPECT_EQ(phone.manufacturerData, (std::vector<std::uint8_t>{0x4c, 0x00, 0x10, 0x05}));
    ASSERT_EQ(phone.rssi.size(), 3u);
    EXPECT_EQ(phone.rssi[0].dbm, -50.0);
    EXPECT_FALSE(phone.rssi[1].dbm.has_value());
    EXPECT_FALSE(phone.rssi[2].advertising);
    EXPECT_DOUBLE_EQ(phone.noiseSigma, 2.5);
    ASSERT_EQ(phone.addressChanges.size(), 2u);
    EXPECT_FALSE(phone.addressChanges[0].identifier.has_value());
    EXPECT_TRUE(phone.addressChanges[1].identifier.has_value());
    EXPECT_DOUBLE_EQ(bt.devices[1].advertisingInterval, 0.2);  // the default

    // Settings are typed by the key table: a whole number for a double key is a double.
    const auto& settings = s.platform.settings;
    EXPECT_EQ(settings.at("averageMinRSSI"), SettingValue(-70.0));
    EXPECT_EQ(settings.at("scheduleStartHour"), SettingValue(std::int64_t{3}));
    EXPECT_EQ(settings.at("lockMode"), SettingValue(std::string("Run Shortcut")));
    EXPECT_TRUE(std::holds_alternative<Instant>(settings.at("lastScreenUnlockTime")));
    // The tracked device is stored with the name of the device it names.
    EXPECT_EQ(settings.at("checkedPeripheralUUID"), SettingValue(std::string(kPhone)));
    EXPECT_EQ(settings.at("checkedPeripheralName"), SettingValue(std::string("Phone")));

    // Events are in time order; those at the same time keep the file's order.
    ASSERT_EQ(s.events.size(), 8u);
    EXPECT_TRUE(std::holds_alternative<RadioStateChange>(s.events[0].action));
    EXPECT_EQ(s.events[0].note, "radio back");
    EXPECT_TRUE(std::holds_alternative<UserScreenChange>(s.events[1].action));
    const auto& input = std::get<UserInput>(s.events[2].action);
    EXPECT_EQ(input.until, 40.0);
    EXPECT_DOUBLE_EQ(input.every, 2.0);
    const auto& leave = std::get<ShortcutOutcome>(s.events[3].action);
    EXPECT_EQ(leave.name, "Leave");
    EXPECT_EQ(leave.script.result.value().status, 1);
    EXPECT_EQ(leave.script.result.value().standardError, "boom");
    EXPECT_DOUBLE_EQ(leave.script.delay, 2.0);
    EXPECT_FALSE(std::get<ShortcutOutcome>(s.events[4].action).script.result.ok());
    EXPECT_TRUE(std::get<SystemPowerChange>(s.events[5].action).sleep);
    EXPECT_TRUE(std::holds_alternative<NoteOnly>(s.events[6].action));
    EXPECT_TRUE(std::holds_alternative<SettingsChange>(s.events[7].action));
}

TEST(ScenarioLoaderTest, StartsFromAUserWhoIsMonitoringUnlessToldOtherwise) {
    const auto plain = load(R"({"duration": 10})");
    EXPECT_EQ(plain.platform.settings.at("userHasCompletedOnboarding"), SettingValue(true));
    EXPECT_EQ(plain.platform.settings.at("canScan"), SettingValue(true));
    EXPECT_EQ(plain.platform.settings.at("scanAllowDuplicates"), SettingValue(true));

    const auto firstRun = load(R"({"duration": 10, "settings": {"canScan": false,
                                    "userHasCompletedOnboarding": false}})");
    EXPECT_EQ(firstRun.platform.settings.at("userHasCompletedOnboarding"), SettingValue(false));
    EXPECT_EQ(firstRun.platform.settings.at("canScan"), SettingValue(false));
}

TEST(ScenarioLoaderTest, TrackedMayNameItsOwnDeviceAndBeaconIdentity) {
    const auto s =
        load(R"({"duration": 10, "tracked": {"id": "6f1c2a9e-4b7d-4e21-9c3a-5d8e7f012345",
                             "name": "Keys", "beaconIdentity": "0118-abcd"}})");
    EXPECT_EQ(s.platform.settings.at("checkedPeripheralUUID"), SettingValue(std::string(kPhone)));
    EXPECT_EQ(s.platform.settings.at("checkedPeripheralName"), SettingValue(std::string("Keys")));
    EXPECT_EQ(s.platform.settings.at("checkedBeaconIdentity"),
              SettingValue(std::string("0118-abcd")));
}

TEST(ScenarioLoaderTest, NamesTheFieldThatIsWrong) {
    struct Case {
        const char* json;
        const char* path;
        const char* message;  // a fragment
    };
    const Case cases[] = {
        {R"([])", "", "expected an object"},
        {R"({})", "duration", "missing"},
        {R"({"duration": 0})", "duration", "more than 0"},
        {R"({"duration": 1e12})", "duration", "out of range"},
        {R"({"duration": "10"})", "duration", "expected a number, got a text"},
        {R"({"duration": 10, "durration": 5})", "durration", "unknown field"},
        {R"({"duration": 10, "start": "yesterday"})", "start", "ISO 8601"},
        {R"({"duration": 10, "bluetooth": {"state": "on"}})", "bluetooth.state", "unknown state"},
        {R"({"duration": 10, "updates": {"currentBuild": "57"}})", "updates", "either"},
        {R"({"duration": 10, "updates": {"status": 200, "error": "down"}})", "updates", "either"},
        {R"({"duration": 10, "updates": {"error": "down", "body": "58"}})", "updates.body",
         "no body"},
        {R"({"duration": 10, "updates": {"status": 1000}})", "updates.status", "out of range"},
        {R"({"duration": 10, "updates": {"status": 200, "currentBuild": 57}})",
         "updates.currentBuild", "expected a text"},
        {R"({"duration": 10, "devices": {}})", "devices", "expected a list"},
        {R"({"duration": 10, "devices": [{"rssi": [[0, -50]]}]})", "devices[0].id", "missing"},
        {R"({"duration": 10, "devices": [{"id": "phone", "rssi": [[0, -50]]}]})", "devices[0].id",
         "not a UUID"},
        {R"({"duration": 10, "devices": [{"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
             "rssi": [[0, -50]]}, {"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
             "rssi": [[0, -50]]}]})",
         "devices[1].id", "another device"},
        {R"({"duration": 10, "devices": [{"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345"}]})",
         "devices[0].rssi", "missing"},
        {R"({"duration": 10, "devices": [{"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
             "rssi": []}]})",
         "devices[0].rssi", "at least one"},
        {R"({"duration": 10, "devices": [{"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
             "rssi": [[0, -50], [5, -60], [9, -70], [4, -80]]}]})",
         "devices[0].rssi[3]", "comes before"},
        {R"({"duration": 10, "devices": [{"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
             "rssi": [[0, -50], [5]]}]})",
         "devices[0].rssi[1]", "expected [t, dBm]"},
        {R"({"duration": 10, "devices": [{"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
             "rssi": [[0, -500]]}]})",
         "devices[0].rssi[0][1]", "out of range"},
        {R"({"duration": 10, "devices": [{"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
             "rssi": [[0, null, "quiet"]]}]})",
         "devices[0].rssi[0][2]", "quiet"},
        {R"({"duration": 10, "devices": [{"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
             "rssi": [[0, -50]], "interval": 0}]})",
         "devices[0].interval", "out of range"},
        {R"({"duration": 10, "devices": [{"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
             "rssi": [[0, -50]], "manufacturerData": "4c0"}]})",
         "devices[0].manufacturerData", "hex"},
        {R"({"duration": 10, "devices": [{"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
             "rssi": [[0, -50]], "noise": {"seed": 3}}]})",
         "devices[0].noise.sigma", "missing"},
        {R"({"duration": 10, "devices": [{"id": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
             "rssi": [[0, -50]], "addressChanges": [{"at": 5}, {"at": 2}]}]})",
         "devices[0].addressChanges[1].at", "time order"},
        {R"({"duration": 10, "settings": {"lockMood": "x"}})", "settings.lockMood",
         "unknown setting"},
        {R"({"duration": 10, "settings": {"canScan": "yes"}})", "settings.canScan",
         "canScan is a bool setting, got a text"},
        {R"({"duration": 10, "settings": {"scheduleStartHour": 1.5}})",
         "settings.scheduleStartHour", "integer setting"},
        {R"({"duration": 10, "settings": {"lockMode": 1}})", "settings.lockMode", "string setting"},
        {R"({"duration": 10, "settings": {"lastScreenLockTime": {"date": "soon"}}})",
         "settings.lastScreenLockTime", "ISO 8601"},
        {R"({"duration": 10, "tracked": 5})", "tracked", "expected a device UUID"},
        {R"({"duration": 10, "tracked": "6F1C2A9E-4B7D-4E21-9C3A-5D8E7F012345",
             "settings": {"checkedPeripheralName": "x"}})",
         "tracked", "use one of the two"},
        {R"({"duration": 10, "events": [{"bluetooth": "poweredOff"}]})", "events[0].at", "missing"},
        {R"({"duration": 10, "events": [{"at": 11, "bluetooth": "poweredOff"}]})", "events[0].at",
         "out of range"},
        {R"({"duration": 10, "events": [{"at": 1}]})", "events[0]", "says nothing happens"},
        {R"({"duration": 10, "events": [{"at": 1, "session": "away"}]})", "events[0].session",
         "expected \"switchAway\" or \"switchBack\""},
        {R"({"duration": 10, "events": [{"at": 1, "screen": "lock", "system": "sleep"}]})",
         "events[0]", "one thing per event"},
        {R"({"duration": 10, "events": [{"at": 1, "screen": "lock", "exitStatus": 1}]})",
         "events[0].exitStatus", "unknown field"},
        {R"({"duration": 10, "events": [{"at": 1, "screen": "off"}]})", "events[0].screen",
         "\"lock\" or \"unlock\""},
        {R"({"duration": 10, "events": [{"at": 1, "system": "hibernate"}]})", "events[0].system",
         "\"sleep\" or \"wake\""},
        {R"({"duration": 10, "events": [{"at": 1, "bluetooth": "off"}]})", "events[0].bluetooth",
         "unknown state"},
        {R"({"duration": 10, "events": [{"at": 1, "input": {"until": 0.5}}]})",
         "events[0].input.until", "before"},
        {R"({"duration": 10, "events": [{"at": 1, "shortcut": "Leave", "exitStatus": 300}]})",
         "events[0].exitStatus", "out of range"},
        {R"({"duration": 10, "events": [{"at": 1, "set": {"lockMode": true}}]})",
         "events[0].set.lockMode", "string setting"},
        {R"({"duration": 10, "events": [{"at": 1, "set": {}}]})", "events[0].set",
         "changes nothing"},
        {R"({"duration": 10, "settings": {"a b": 1}})", R"(settings["a b"])", "unknown setting"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        const auto error = refuse(c.json);
        EXPECT_EQ(error.path, c.path);
        EXPECT_NE(error.message.find(c.message), std::string::npos) << error.message;
    }
}

TEST(ScenarioLoaderTest, NestingTooDeepToHandleSafelyIsRefusedBeforeParsing) {
    const std::string deep = std::string(70000, '[') + std::string(70000, ']');
    const auto error = refuse("{\"duration\": 10, \"x\": " + deep + "}");
    EXPECT_NE(error.message.find("nested more than 256 levels deep"), std::string::npos)
        << error.message;
}

TEST(ScenarioLoaderTest, ReadsTheLockScreenKeychainAndInputSources) {
    const auto s = load(R"({
      "duration": 60,
      "session": {"password": "secret", "unlock": "request"},
      "keychain": {"password": "stored"},
      "accessibility": false,
      "events": [
        {"at": 1, "input": {"source": "declared", "process": "player"}},
        {"at": 2, "input": {"source": "synthetic", "until": 5, "every": 1}},
        {"at": 3, "system": "screensWake"},
        {"at": 4, "selfTest": {"candidate": "try"}}
      ]})");
    EXPECT_EQ(s.platform.lockScreen.password, "secret");
    EXPECT_EQ(s.platform.unlockMethod, UnlockMethod::sessionRequest);
    EXPECT_FALSE(s.platform.lockScreen.mayPostEvents);
    ASSERT_EQ(s.platform.keychain.size(), 1u);
    EXPECT_EQ(s.platform.keychain[0].data, "stored");
    ASSERT_EQ(s.events.size(), 4u);
    const auto& declared = std::get<UserInput>(s.events[0].action);
    EXPECT_EQ(declared.source, InputSource::declared);
    EXPECT_EQ(declared.process, "player");
    EXPECT_FALSE(declared.until);
    EXPECT_EQ(std::get<UserInput>(s.events[1].action).until, 5.0);
    EXPECT_TRUE(std::holds_alternative<ScreensWake>(s.events[2].action));
    EXPECT_EQ(std::get<SelfTestStart>(s.events[3].action).candidate, "try");

    // Defaults: typing, permission granted, nothing stored.
    const auto plain = load(R"({"duration": 1})");
    EXPECT_EQ(plain.platform.unlockMethod, UnlockMethod::keystrokes);
    EXPECT_TRUE(plain.platform.lockScreen.mayPostEvents);
    EXPECT_TRUE(plain.platform.keychain.empty());

    struct Case {
        const char* json;
        const char* path;
    };
    for (const auto& c : std::vector<Case>{
             {R"({"duration": 9, "session": {"unlock": "typing"}})", "session.unlock"},
             {R"({"duration": 9, "session": {"pin": "1"}})", "session.pin"},
             {R"({"duration": 9, "keychain": {"password": 1}})", "keychain.password"},
             {R"({"duration": 9, "events": [{"at": 1, "input": {"source": "declared"}}]})",
              "events[0].input.process"},
             {R"({"duration": 9, "events": [{"at": 1, "input": {"process": "x"}}]})",
              "events[0].input.process"},
             {R"({"duration": 9, "events": [{"at": 1, "selfTest": {}}]})",
              "events[0].selfTest.candidate"},
         }) {
        EXPECT_EQ(refuse(c.json).path, c.path) << c.json;
    }
}

TEST(ScenarioLoaderTest, SyntaxErrorsSayWhere) {
    const auto error = refuse("{\n  \"duration\": 10,\n  \"devices\": [,]\n}");
    EXPECT_EQ(error.path, "");
    EXPECT_NE(error.message.find("line 3, column 15"), std::string::npos) << error.message;

    EXPECT_NE(refuse("").message.find("not valid JSON"), std::string::npos);
    EXPECT_NE(refuse("{\"duration\": 10} trailing").message.find("not valid JSON"),
              std::string::npos);
}

TEST(ScenarioLoaderTest, EveryShippedScenarioLoads) {
    int count = 0;
    for (const auto& file : std::filesystem::directory_iterator(AMBLEGUARD_SCENARIOS_DIR)) {
        if (file.path().extension() == ".json") {
            SCOPED_TRACE(file.path().string());
            std::ifstream in(file.path());
            std::stringstream text;
            text << in.rdbuf();
            load(text.str());
            ++count;
        }
    }
    EXPECT_GE(count, 3);
}

}  // namespace
}  // namespace ambleguard::cli
