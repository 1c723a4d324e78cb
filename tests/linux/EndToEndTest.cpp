#include "platform/linux/BlueZClient.h"

#include "support/RunProgram.h"
#include "support/linux/TestBuses.h"

#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdlib>

namespace ambleguard::linuxdesktop {
namespace {

using test::MockObject;
using test::TestBus;
using test::TestBuses;
using test::waitUntil;

const QString kPhone = "AA:BB:CC:DD:EE:01";
const QString kPhonePath = "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_01";
const QString kSession = "org.freedesktop.login1.Session";

// The real program against mock BlueZ and logind, in real time: the tracked phone advertises
// strongly, then weakly, and the program asks logind to lock the session; the phone comes back;
// SIGTERM ends the program cleanly, its discovery stopped.
TEST(EndToEnd, WalkingAwayWithThePhoneLocksTheSession) {
    TestBuses buses;
    ASSERT_TRUE(buses.startTemplate("bluez5"));
    ASSERT_TRUE(buses.startTemplate("logind"));
    auto bluez = buses.mock(TestBus::system, "org.bluez", "/");
    bluez.callOk("org.bluez.Mock", "AddAdapter", {"hci0", "desk"});
    auto adapter = buses.mock(TestBus::system, "org.bluez", "/org/bluez/hci0");
    buses.mock(TestBus::system, "org.freedesktop.login1", "/org/freedesktop/login1")
        .callOk("org.freedesktop.DBus.Mock", "AddSession",
                {"auto", "seat0", QVariant::fromValue(quint32(1000)), "tester", true});
    auto session = buses.mock(TestBus::system, "org.freedesktop.login1",
                              "/org/freedesktop/login1/session/auto");
    session.addMethod(kSession, "Lock", "", "",
                      "self.UpdateProperties('org.freedesktop.login1.Session', "
                      "{'LockedHint': dbus.Boolean(True)})");

    // Set up as `ambleguard track` leaves things, through the program's own settings command.
    const auto identifier = BlueZClient::identifierFor("00:01:02:03:04:05", kPhone).toString();
    for (const auto& [key, value] :
         std::vector<std::pair<std::string, std::string>>{{"userHasCompletedOnboarding", "true"},
                                                          {"canScan", "true"},
                                                          {"scanAllowDuplicates", "true"},
                                                          {"checkedPeripheralUUID", identifier},
                                                          {"checkedPeripheralName", "Alex's Phone"},
                                                          {"detectionMode", "Responsive"}}) {
        const auto result =
            test::runAmbleguard({"settings", "set", key, value}, buses.configHome());
        ASSERT_EQ(result.status, 0) << key << ": " << result.err;
    }

    const char* binary = std::getenv("AMBLEGUARD_BINARY");
    ASSERT_NE(binary, nullptr);
    QProcess program;
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.setStandardOutputFile(
        QString::fromStdString((buses.directory() / "program.log").string()));
    program.start(binary, {"--headless"});
    ASSERT_TRUE(program.waitForStarted(10000));
    const auto log = [&] { return test::slurp(buses.directory() / "program.log"); };

    ASSERT_TRUE(waitUntil([&] { return adapter.callsOf("StartDiscovery").size() == 1; },
                          std::chrono::seconds(20)))
        << log();
    bluez.callOk("org.bluez.Mock", "AddDevice", {"hci0", kPhone, "Alex's Phone"});
    auto phone = buses.mock(TestBus::system, "org.bluez", kPhonePath);

    // Advertises as a phone does, five times a second, until `until` holds or time runs out.
    const auto advertise = [&](short rssi, std::chrono::milliseconds duration,
                               const std::function<bool()>& until) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < duration.count()) {
            phone.updateProperties("org.bluez.Device1", {{"RSSI", rssi}});
            if (waitUntil(until, std::chrono::milliseconds(200))) {
                return true;
            }
        }
        return false;
    };
    const auto locked = [&] { return !session.callsOf("Lock").empty(); };

    // At the desk: strong readings, no lock.
    EXPECT_FALSE(advertise(-50, std::chrono::seconds(4), locked)) << log();
    // Walking away: weak readings until the session is locked.
    ASSERT_TRUE(advertise(-95, std::chrono::seconds(45), locked)) << log();
    EXPECT_EQ(session.callsOf("Lock").size(), 1u);

    // Back at the desk: it keeps running and does not lock again.
    advertise(-50, std::chrono::seconds(3), [] { return false; });
    EXPECT_EQ(session.callsOf("Lock").size(), 1u);
    EXPECT_EQ(program.state(), QProcess::Running) << log();

    adapter.clearCalls();
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000)) << log();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << log();
    EXPECT_EQ(adapter.callsOf("StopDiscovery").size(), 1u) << log();
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
