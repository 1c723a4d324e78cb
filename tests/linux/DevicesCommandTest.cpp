#include "platform/linux/BlueZClient.h"

#include "support/RunProgram.h"
#include "support/linux/TestBuses.h"

#include <gtest/gtest.h>

#include <stop_token>
#include <thread>

namespace ambleguard::linuxdesktop {
namespace {

using test::TestBus;
using test::TestBuses;

// `devices` and `track` as a user without a tray runs them, against mock BlueZ: the paired
// watch is listed first and can be tracked; the unpaired phone on a private address is tracked
// with a warning to pair it.
TEST(DevicesCommand, ListsPairedFirstAndTracksWithAWarningForUnpairedPhones) {
    TestBuses buses;
    ASSERT_TRUE(buses.startTemplate("bluez5"));
    auto bluez = buses.mock(TestBus::system, "org.bluez", "/");
    bluez.callOk("org.bluez.Mock", "AddAdapter", {"hci0", "desk"});
    bluez.callOk("org.bluez.Mock", "AddDevice", {"hci0", "AA:BB:CC:DD:EE:01", "Alex's Phone"});
    buses.mock(TestBus::system, "org.bluez", "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_01")
        .setProperty("org.bluez.Device1", "AddressType", "random");
    bluez.callOk("org.bluez.Mock", "AddDevice", {"hci0", "AA:BB:CC:DD:EE:02", "Zoe's Watch"});
    bluez.callOk("org.bluez.Mock", "PairDevice", {"hci0", "AA:BB:CC:DD:EE:02", 0});

    // The devices advertise while the commands scan (they run as child processes, so this
    // test's own event loop is not turning). A jthread, so that it is stopped and joined however
    // the test ends, an ASSERT's early return included.
    std::jthread advertiser([&](const std::stop_token& stopping) {
        test::MockObject phoneMock(buses.connect(TestBus::system), "org.bluez",
                                   "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_01");
        test::MockObject watchMock(buses.connect(TestBus::system), "org.bluez",
                                   "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_02");
        while (!stopping.stop_requested()) {
            phoneMock.updateProperties("org.bluez.Device1", {{"RSSI", short(-60)}});
            watchMock.updateProperties("org.bluez.Device1", {{"RSSI", short(-60)}});
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });

    const auto phone = BlueZClient::identifierFor("00:01:02:03:04:05", "AA:BB:CC:DD:EE:01");
    const auto watch = BlueZClient::identifierFor("00:01:02:03:04:05", "AA:BB:CC:DD:EE:02");
    const auto listed =
        test::runAmbleguard({"devices", "--seconds", "1.5", "--json"}, buses.configHome());
    EXPECT_EQ(listed.status, 0) << listed.err;
    const auto watchAt = listed.out.find(watch.toString());
    const auto phoneAt = listed.out.find(phone.toString());
    ASSERT_NE(watchAt, std::string::npos) << listed.out << listed.err;
    ASSERT_NE(phoneAt, std::string::npos) << listed.out;
    EXPECT_LT(watchAt, phoneAt);  // paired first
    EXPECT_NE(
        listed.out.find("\"name\":\"Zoe's Watch\",\"rssi\":-60,\"beacon\":null,\"paired\":true"),
        std::string::npos)
        << listed.out;

    const auto unpaired =
        test::runAmbleguard({"track", phone.toString(), "--seconds", "3"}, buses.configHome());
    EXPECT_EQ(unpaired.status, 0) << unpaired.err;
    EXPECT_NE(unpaired.err.find("not paired"), std::string::npos) << unpaired.err;
    EXPECT_NE(unpaired.err.find("bluetoothctl"), std::string::npos);

    const auto paired =
        test::runAmbleguard({"track", watch.toString(), "--seconds", "3"}, buses.configHome());
    EXPECT_EQ(paired.status, 0) << paired.err;
    EXPECT_EQ(paired.err.find("warning"), std::string::npos) << paired.err;
    const auto stored =
        test::runAmbleguard({"settings", "get", "checkedPeripheralUUID"}, buses.configHome());
    EXPECT_NE(stored.out.find(watch.toString()), std::string::npos) << stored.out;
    const auto name =
        test::runAmbleguard({"settings", "get", "checkedPeripheralName"}, buses.configHome());
    EXPECT_NE(name.out.find("Zoe's Watch"), std::string::npos) << name.out;

    const auto unknown = test::runAmbleguard(
        {"track", "00000000-0000-0000-0000-000000000001", "--seconds", "0.5"}, buses.configHome());
    EXPECT_EQ(unknown.status, 1);
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
