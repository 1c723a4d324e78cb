#include "platform/linux/BlueZClient.h"
#include "platform/linux/SecretServiceKeychain.h"

#include "platform/sim/RecordingLogSink.h"
#include "support/RunProgram.h"
#include "support/linux/GnomeKeyring.h"
#include "support/linux/TestBuses.h"
#include "support/linux/XvfbServer.h"
#include "unlock/PasswordStore.h"

#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

// After gtest: Xlib's macros (None, Bool) would rewrite its names.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <csignal>
#include <cstdlib>
#include <string>

namespace ambleguard::linuxdesktop {
namespace {

using test::TestBus;
using test::TestBuses;
using test::waitUntil;

const QString kPhone = "AA:BB:CC:DD:EE:01";
const QString kPhonePath = "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_01";
const QString kSession = "org.freedesktop.login1.Session";

// A stand-in lock screen: a focused X window that keeps what is typed into it, as text.
class TypedText {
  public:
    explicit TypedText(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
        if (display_ == nullptr) {
            return;
        }
        window_ =
            XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 200, 50, 0, 0, 0);
        XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask);
        XMapWindow(display_, window_);
        XEvent event;
        do {
            XNextEvent(display_, &event);
        } while (event.type != MapNotify);
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XSync(display_, False);
    }
    TypedText(const TypedText&) = delete;
    TypedText& operator=(const TypedText&) = delete;
    ~TypedText() {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
    }

    bool ok() const { return display_ != nullptr; }

    // Reads what arrived: Backspace clears the field as a lock screen's Delete does, Return
    // submits it.
    void read() {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.xmapping);
                continue;
            }
            if (event.type != KeyPress) {
                continue;
            }
            const KeySym keysym = XLookupKeysym(&event.xkey, 0);
            if (keysym == XK_BackSpace) {
                field_.clear();
                ++clears_;
            } else if (keysym == XK_Return) {
                submitted_.push_back(field_);
                field_.clear();
            } else {
                field_.push_back(
                    static_cast<char32_t>(keysym >= 0x01000000 ? keysym - 0x01000000 : keysym));
            }
        }
    }

    const std::vector<std::u32string>& submitted() const { return submitted_; }
    int clears() const { return clears_; }

  private:
    Display* display_ = nullptr;
    Window window_ = 0;
    std::u32string field_;
    std::vector<std::u32string> submitted_;
    int clears_ = 0;
};

// The real program on an X11 session that chose typing: the phone walks away and logind is
// asked to lock; the phone comes back, the displays are woken and the password from the secret
// store is typed into the focused window (the lock screen here) and submitted.
TEST(TypingEndToEnd, ComingBackTypesTheStoredPasswordIntoTheLockScreen) {
    if (!test::XvfbServer::installed() || !test::GnomeKeyring::installed()) {
        GTEST_SKIP() << "needs Xvfb and gnome-keyring";
    }
    TestBuses buses;
    ASSERT_TRUE(buses.ok());
    // The store's client library raises SIGTERM when the private bus closes at the end.
    std::signal(SIGTERM, SIG_IGN);
    test::GnomeKeyring keyring(buses);
    ASSERT_TRUE(keyring.ready());
    test::XvfbServer x11(800);
    ASSERT_TRUE(x11.ready());
    TypedText lockScreen(x11.display());
    ASSERT_TRUE(lockScreen.ok());

    ASSERT_TRUE(buses.startTemplate("bluez5"));
    ASSERT_TRUE(buses.startTemplate("logind"));
    ASSERT_TRUE(buses.startMock({AMBLEGUARD_TEST_TEMPLATES "/freedesktop_screensaver.py",
                                 "org.freedesktop.ScreenSaver", "", "", TestBus::session, ""}));
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
    auto saver =
        buses.mock(TestBus::session, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver");

    // More than one run of typed text, a character outside Latin-1 and one outside the BMP.
    const std::string password = "correct h\xC3\xB6rse \xF0\x9F\x90\x8E battery staple";
    const std::u32string typed = U"correct h\u00f6rse \U0001F40E battery staple";
    {
        sim::RecordingLogSink log;
        SecretServiceKeychain keychain(log);
        PasswordStore store(keychain, log, "ScreenUnlock");
        ASSERT_TRUE(store.storePassword(password));
    }

    const auto identifier = BlueZClient::identifierFor("00:01:02:03:04:05", kPhone).toString();
    for (const auto& [key, value] :
         std::vector<std::pair<std::string, std::string>>{{"userHasCompletedOnboarding", "true"},
                                                          {"canScan", "true"},
                                                          {"scanAllowDuplicates", "true"},
                                                          {"checkedPeripheralUUID", identifier},
                                                          {"checkedPeripheralName", "Alex's Phone"},
                                                          {"detectionMode", "Responsive"},
                                                          {"autoUnlockEnabled", "true"},
                                                          {"unlockByTyping", "true"}}) {
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
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", QString::fromStdString(x11.display()));
    environment.insert("XDG_SESSION_TYPE", "x11");
    environment.remove("WAYLAND_DISPLAY");
    program.setProcessEnvironment(environment);
    program.start(binary, {"--headless"});
    ASSERT_TRUE(program.waitForStarted(10000));
    const auto log = [&] { return test::slurp(buses.directory() / "program.log"); };

    ASSERT_TRUE(waitUntil([&] { return adapter.callsOf("StartDiscovery").size() == 1; },
                          std::chrono::seconds(20)))
        << log();
    bluez.callOk("org.bluez.Mock", "AddDevice", {"hci0", kPhone, "Alex's Phone"});
    auto phone = buses.mock(TestBus::system, "org.bluez", kPhonePath);
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

    EXPECT_FALSE(advertise(-50, std::chrono::seconds(3), [] { return false; })) << log();
    ASSERT_TRUE(advertise(-95, std::chrono::seconds(45), [&] {
        return !session.callsOf("Lock").empty();
    })) << log();
    saver.clearCalls();

    // Back at the desk: the displays are woken, then the password is typed and submitted.
    ASSERT_TRUE(advertise(-50, std::chrono::seconds(30), [&] {
        lockScreen.read();
        return !lockScreen.submitted().empty();
    })) << log();
    EXPECT_FALSE(saver.callsOf("SimulateUserActivity").empty()) << log();
    EXPECT_GE(lockScreen.clears(), 1);  // the field is cleared before typing
    ASSERT_EQ(lockScreen.submitted().size(), 1u);
    EXPECT_TRUE(lockScreen.submitted()[0] == typed) << log();
    // Never through logind: this session chose typing.
    EXPECT_TRUE(session.callsOf("Unlock").empty());

    // The lock screen accepts it; nothing more is typed.
    session.updateProperties(kSession, {{"LockedHint", false}});
    advertise(-50, std::chrono::seconds(3), [] { return false; });
    lockScreen.read();
    EXPECT_EQ(lockScreen.submitted().size(), 1u);
    EXPECT_EQ(log().find("battery staple"), std::string::npos) << "the password reached the log";

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000)) << log();
    EXPECT_EQ(program.exitCode(), 0) << log();
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
