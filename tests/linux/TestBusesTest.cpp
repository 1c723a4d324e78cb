#include "support/linux/TestBuses.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>

#include <gtest/gtest.h>

#include <cstdlib>

namespace ambleguard::test {
namespace {

// The harness itself: the private buses and mocks come up, the control methods reach them, and
// nothing is left behind.
TEST(TestBuses, MocksComeUpOnTheirBusAndAreControllable) {
    std::string systemAddress;
    {
        TestBuses buses;
        ASSERT_TRUE(buses.ok());
        ASSERT_TRUE(buses.startTemplate("bluez5"));
        ASSERT_TRUE(buses.startTemplate("notification_daemon"));
        systemAddress = buses.address(TestBus::system);
        EXPECT_EQ(std::getenv("DBUS_SYSTEM_BUS_ADDRESS"), systemAddress);

        auto system = buses.connect(TestBus::system);
        auto session = buses.connect(TestBus::session);
        EXPECT_TRUE(system.interface()->isServiceRegistered("org.bluez").value());
        EXPECT_FALSE(session.interface()->isServiceRegistered("org.bluez").value());
        EXPECT_TRUE(session.interface()->isServiceRegistered("org.freedesktop.Notifications"));

        auto bluez = buses.mock(TestBus::system, "org.bluez", "/");
        bluez.callOk("org.bluez.Mock", "AddAdapter", {"hci0", "my-computer"});
        auto adapter = buses.mock(TestBus::system, "org.bluez", "/org/bluez/hci0");
        adapter.callOk("org.bluez.Adapter1", "SetDiscoveryFilter",
                       {QVariantMap{{"Transport", "le"}}});
        adapter.callOk("org.bluez.Adapter1", "StartDiscovery");
        const auto filters = adapter.callsOf("SetDiscoveryFilter");
        ASSERT_EQ(filters.size(), 1u);
        EXPECT_EQ(qdbus_cast<QVariantMap>(filters[0].value(0)).value("Transport").toString(), "le");
        EXPECT_EQ(adapter.calledMethods().back(), "StartDiscovery");

        adapter.addMethod("org.bluez.Adapter1", "Answer", "", "i", "ret = 42");
        const auto answer = adapter.callOk("org.bluez.Adapter1", "Answer");
        ASSERT_EQ(answer.arguments().size(), 1);
        EXPECT_EQ(answer.arguments().first().toInt(), 42);

        buses.stopMock("org.bluez");
        EXPECT_TRUE(waitUntil(
            [&] { return !system.interface()->isServiceRegistered("org.bluez").value(); }));
    }
    // The daemons are gone with the harness, and the environment is as it was.
    auto late = QDBusConnection::connectToBus(QString::fromStdString(systemAddress), "late");
    EXPECT_FALSE(late.isConnected());
    QDBusConnection::disconnectFromBus("late");
    const char* now = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    EXPECT_TRUE(now == nullptr || now != systemAddress);
}

TEST(TestBuses, PlainMockObjectsAnswerAndEmitSignals) {
    TestBuses buses;
    ASSERT_TRUE(buses.startMock(
        {{}, "org.example.Idle", "/org/example/Idle", "org.example.Idle", TestBus::session, {}}));
    auto idle = buses.mock(TestBus::session, "org.example.Idle", "/org/example/Idle");
    idle.addMethod("org.example.Idle", "GetIdletime", "", "t", "ret = 1234");

    auto connection = buses.connect(TestBus::session);
    auto reply = connection.call(QDBusMessage::createMethodCall(
        "org.example.Idle", "/org/example/Idle", "org.example.Idle", "GetIdletime"));
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(reply.arguments().first().toULongLong(), 1234u);

    SignalRecorder recorder;
    ASSERT_TRUE(
        recorder.listen(connection, {}, "/org/example/Idle", "org.example.Idle", "ActiveChanged"));
    idle.emitSignal("org.example.Idle", "ActiveChanged", "b", {true});
    ASSERT_TRUE(waitUntil([&] { return !recorder.messages().empty(); }));
    EXPECT_EQ(recorder.messages().front().arguments().first().toBool(), true);
}

}  // namespace
}  // namespace ambleguard::test
