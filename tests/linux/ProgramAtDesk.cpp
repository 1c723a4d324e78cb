#include "ProgramAtDesk.h"

#include "platform/linux/BlueZClient.h"
#include "support/RunProgram.h"

#include <QElapsedTimer>

#include <cstdlib>

namespace ambleguard::linuxdesktop {

namespace {

using test::TestBus;

const QString kPhone = "AA:BB:CC:DD:EE:01";
const QString kPhonePath = "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_01";

}  // namespace

const QString ProgramAtDesk::kSession = "org.freedesktop.login1.Session";

ProgramAtDesk::ProgramAtDesk(test::TestBuses& buses)
    : bluez(buses.mock(TestBus::system, "org.bluez", "/")),
      adapter(buses.mock(TestBus::system, "org.bluez", "/org/bluez/hci0")),
      session(buses.mock(TestBus::system, "org.freedesktop.login1",
                         "/org/freedesktop/login1/session/auto")),
      buses_(buses) {
    if (!buses.startTemplate("bluez5") || !buses.startTemplate("logind")) {
        return;
    }
    bluez.callOk("org.bluez.Mock", "AddAdapter", {"hci0", "desk"});
    buses.mock(TestBus::system, "org.freedesktop.login1", "/org/freedesktop/login1")
        .callOk("org.freedesktop.DBus.Mock", "AddSession",
                {"auto", "seat0", QVariant::fromValue(quint32(1000)), "tester", true});
    session.addMethod(kSession, "Lock", "", "",
                      "self.UpdateProperties('org.freedesktop.login1.Session', "
                      "{'LockedHint': dbus.Boolean(True)})");
    started_ = true;
}

std::optional<std::string> ProgramAtDesk::configure(
    const std::vector<std::pair<std::string, std::string>>& extra) {
    const auto identifier = BlueZClient::identifierFor("00:01:02:03:04:05", kPhone).toString();
    std::vector<std::pair<std::string, std::string>> settings = {
        {"userHasCompletedOnboarding", "true"},    {"canScan", "true"},
        {"scanAllowDuplicates", "true"},           {"checkedPeripheralUUID", identifier},
        {"checkedPeripheralName", "Alex's Phone"}, {"detectionMode", "Responsive"}};
    settings.insert(settings.end(), extra.begin(), extra.end());
    for (const auto& [key, value] : settings) {
        const auto result =
            test::runAmbleguard({"settings", "set", key, value}, buses_.configHome());
        if (result.status != 0) {
            return key + ": " + result.err;
        }
    }
    return std::nullopt;
}

bool ProgramAtDesk::start(const QProcessEnvironment& environment) {
    const char* binary = std::getenv("AMBLEGUARD_BINARY");
    if (binary == nullptr) {
        return false;
    }
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.setStandardOutputFile(
        QString::fromStdString((buses_.directory() / "program.log").string()));
    program.setProcessEnvironment(environment);
    program.start(binary, {"--headless"});
    return program.waitForStarted(10000);
}

bool ProgramAtDesk::discoveryStartedAndPhoneSeen() {
    if (!test::waitUntil([&] { return adapter.callsOf("StartDiscovery").size() == 1; },
                         std::chrono::seconds(20))) {
        return false;
    }
    bluez.callOk("org.bluez.Mock", "AddDevice", {"hci0", kPhone, "Alex's Phone"});
    return true;
}

bool ProgramAtDesk::advertise(short rssi, std::chrono::milliseconds duration,
                              const std::function<bool()>& until) {
    const auto phone = buses_.mock(TestBus::system, "org.bluez", kPhonePath);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < duration.count()) {
        phone.updateProperties("org.bluez.Device1", {{"RSSI", rssi}});
        if (test::waitUntil(until, std::chrono::milliseconds(200))) {
            return true;
        }
    }
    return false;
}

std::string ProgramAtDesk::log() const {
    return test::slurp(buses_.directory() / "program.log");
}

}  // namespace ambleguard::linuxdesktop
