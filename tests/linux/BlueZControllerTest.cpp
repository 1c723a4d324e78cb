#include "platform/linux/BlueZController.h"

#include "platform/linux/QtMainQueue.h"
#include "support/linux/TestBuses.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace ambleguard::linuxdesktop {
namespace {

using test::TestBus;
using test::waitUntil;

const QString kAdapter = "org.bluez.Adapter1";
using Kind = ControllerEventKind;
using Info = std::map<std::string, std::string>;

void write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
}

class BlueZControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(buses.ok());
        // The kernel's view: hci0 on USB with its driver, its rfkill switch, and a Wi-Fi one.
        write(sysClass / "bluetooth/hci0/device/uevent", "DEVTYPE=usb_interface\nDRIVER=btusb");
        std::filesystem::create_directory_symlink("../../../../bus/usb",
                                                  sysClass / "bluetooth/hci0/device/subsystem");
        setRadio("rfkill0", "bluetooth", 0, 0);
        setRadio("rfkill1", "wlan", 1, 1);
    }
    void setRadio(const std::string& name, const std::string& type, int soft, int hard) {
        write(sysClass / "rfkill" / name / "type", type);
        write(sysClass / "rfkill" / name / "name", name == "rfkill0" ? "hci0" : "phy0");
        write(sysClass / "rfkill" / name / "soft", std::to_string(soft));
        write(sysClass / "rfkill" / name / "hard", std::to_string(hard));
    }
    void startBlueZ() {
        ASSERT_TRUE(buses.startTemplate("bluez5"));
        root().callOk("org.bluez.Mock", "AddAdapter", {"hci0", "desk"});
    }
    test::MockObject root() const { return buses.mock(TestBus::system, "org.bluez", "/"); }
    test::MockObject adapter() const {
        return buses.mock(TestBus::system, "org.bluez", "/org/bluez/hci0");
    }
    // Watches and keeps the events.
    void watch() {
        auto result =
            controller->watch(mainQueue, [this](ControllerEvent e) { events.push_back(e.kind); });
        ASSERT_TRUE(result.ok());
        connection = std::move(result.value());
    }
    bool waitForEvents(std::size_t count) {
        return waitUntil([&] { return events.size() >= count; });
    }

    test::TestBuses buses;
    std::filesystem::path sysClass = buses.directory() / "sys" / "class";
    QtMainQueue mainQueue;
    NullLogSink logSink;
    std::unique_ptr<BlueZController> controller =
        std::make_unique<BlueZController>(buses.connect(TestBus::system), logSink, sysClass);
    std::vector<Kind> events;
    Connection connection;
};

TEST_F(BlueZControllerTest, PropertiesAreTheAdaptersPowerAndTransportAndEachBluetoothRadio) {
    startBlueZ();
    watch();
    auto reading = controller->readProperties();
    EXPECT_EQ(reading.status, 0);
    ASSERT_EQ(reading.entries.size(), 2u);  // the adapter, then its rfkill switch (not Wi-Fi's)
    const auto& adapterEntry = *reading.entries[0].properties;
    EXPECT_EQ(std::get<std::int64_t>(adapterEntry.at("BT Power State")), 1);
    const auto& info = std::get<Info>(adapterEntry.at("TransportInfo"));
    EXPECT_EQ(info.at("Address"), "00:01:02:03:04:05");
    EXPECT_EQ(info.at("Powered"), "true");
    EXPECT_EQ(info.at("Bus"), "usb");
    EXPECT_EQ(info.at("Driver"), "btusb");
    const auto& radio = *reading.entries[1].properties;
    EXPECT_EQ(std::get<std::int64_t>(radio.at("RadioState")), 1);
    EXPECT_FALSE(radio.contains("ErrorStates"));

    // Switched off in software: the radio is off, no error. A hardware switch is an error.
    setRadio("rfkill0", "bluetooth", 1, 0);
    reading = controller->readProperties();
    EXPECT_EQ(std::get<std::int64_t>(reading.entries[1].properties->at("RadioState")), 0);
    EXPECT_FALSE(reading.entries[1].properties->contains("ErrorStates"));
    setRadio("rfkill0", "bluetooth", 0, 1);
    reading = controller->readProperties();
    EXPECT_EQ(std::get<std::int64_t>(reading.entries[1].properties->at("RadioState")), 0);
    EXPECT_EQ(std::get<std::vector<std::string>>(reading.entries[1].properties->at("ErrorStates")),
              std::vector<std::string>{"hci0 is blocked by a hardware switch"});

    // Power follows BlueZ's signal.
    adapter().updateProperties(kAdapter, {{"Powered", false}});
    ASSERT_TRUE(waitForEvents(1));
    reading = controller->readProperties();
    EXPECT_EQ(std::get<std::int64_t>(reading.entries[0].properties->at("BT Power State")), 0);
}

TEST_F(BlueZControllerTest, AdapterPowerSleepAndBlueZItselfAreTheControllersEvents) {
    startBlueZ();
    ASSERT_TRUE(buses.startTemplate("logind"));
    watch();
    // Discovery coming and going is not an event of the controller.
    adapter().updateProperties(kAdapter, {{"Discovering", true}});
    adapter().updateProperties(kAdapter, {{"Powered", false}});
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(events, (std::vector{Kind::busyStateChanged}));

    const auto login =
        buses.mock(TestBus::system, "org.freedesktop.login1", "/org/freedesktop/login1");
    login.emitSignal("org.freedesktop.login1.Manager", "PrepareForSleep", "b", {true});
    login.emitSignal("org.freedesktop.login1.Manager", "PrepareForSleep", "b", {false});
    root().callOk("org.bluez.Mock", "RemoveAdapter", {"hci0"});
    ASSERT_TRUE(waitForEvents(4));
    EXPECT_EQ(controller->readProperties().entries.size(), 1u);  // the radio only
    root().callOk("org.bluez.Mock", "AddAdapter", {"hci0", "desk"});
    buses.stopMock("org.bluez");
    ASSERT_TRUE(waitForEvents(6));
    EXPECT_EQ(events, (std::vector{Kind::busyStateChanged, Kind::suspended, Kind::resumed,
                                   Kind::terminated, Kind::resumed, Kind::wasClosed}));

    // A new bluetoothd with its adapter: the adapter is back, told once.
    startBlueZ();
    ASSERT_TRUE(waitForEvents(7));
    test::processEventsFor(std::chrono::milliseconds(200));
    EXPECT_EQ(events.size(), 7u);
    EXPECT_EQ(events.back(), Kind::resumed);
    EXPECT_EQ(controller->readProperties().entries.size(), 2u);

    // Nothing after the watch is dropped.
    connection.reset();
    adapter().updateProperties(kAdapter, {{"Powered", true}});
    test::processEventsFor(std::chrono::milliseconds(200));
    EXPECT_EQ(events.size(), 7u);
}

TEST_F(BlueZControllerTest, WithoutBlueZThereIsNoController) {
    auto result = controller->watch(mainQueue, [](ControllerEvent) {});
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().step, ControllerWatchError::Step::noController);
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
