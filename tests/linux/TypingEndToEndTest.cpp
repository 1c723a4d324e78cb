#include "ProgramAtDesk.h"
#include "platform/linux/SecretServiceKeychain.h"
#include "platform/sim/RecordingLogSink.h"
#include "support/linux/FocusedWindow.h"
#include "support/linux/GnomeKeyring.h"
#include "support/linux/XvfbServer.h"
#include "unlock/PasswordStore.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <csignal>
#include <string>
#include <vector>

namespace ambleguard::linuxdesktop {
namespace {

using test::TestBus;
using test::TestBuses;

// A stand-in lock screen: a focused window that keeps what is typed into it as a field.
class TypedText {
  public:
    explicit TypedText(const std::string& display) : window_(display) {}

    bool ok() const { return window_.ok(); }

    // Reads what arrived: Backspace clears the field as a lock screen's Delete does, Return
    // submits it.
    void read() {
        for (const char32_t key : window_.read()) {
            if (key == XK_BackSpace) {
                field_.clear();
                ++clears_;
            } else if (key == XK_Return) {
                submitted_.push_back(field_);
                field_.clear();
            } else {
                field_.push_back(key);
            }
        }
    }

    const std::vector<std::u32string>& submitted() const { return submitted_; }
    int clears() const { return clears_; }

  private:
    test::FocusedWindow window_;
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

    ProgramAtDesk desk(buses);
    ASSERT_TRUE(desk.mocksStarted());
    ASSERT_TRUE(buses.startMock({AMBLEGUARD_TEST_TEMPLATES "/freedesktop_screensaver.py",
                                 "org.freedesktop.ScreenSaver", "", "", TestBus::session, ""}));
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

    const auto problem =
        desk.configure({{"autoUnlockEnabled", "true"}, {"unlockByTyping", "true"}});
    ASSERT_FALSE(problem) << *problem;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", QString::fromStdString(x11.display()));
    environment.insert("XDG_SESSION_TYPE", "x11");
    environment.remove("WAYLAND_DISPLAY");
    ASSERT_TRUE(desk.start(environment));
    const auto log = [&] { return desk.log(); };
    ASSERT_TRUE(desk.discoveryStartedAndPhoneSeen()) << log();

    EXPECT_FALSE(desk.advertise(-50, std::chrono::seconds(3), [] { return false; })) << log();
    ASSERT_TRUE(desk.advertise(-95, std::chrono::seconds(45), [&] { return desk.lockRequested(); }))
        << log();
    saver.clearCalls();

    // Back at the desk: the displays are woken, then the password is typed and submitted.
    ASSERT_TRUE(desk.advertise(-50, std::chrono::seconds(30), [&] {
        lockScreen.read();
        return !lockScreen.submitted().empty();
    })) << log();
    EXPECT_FALSE(saver.callsOf("SimulateUserActivity").empty()) << log();
    EXPECT_GE(lockScreen.clears(), 1);  // the field is cleared before typing
    ASSERT_EQ(lockScreen.submitted().size(), 1u);
    EXPECT_TRUE(lockScreen.submitted()[0] == typed) << log();
    // Never through logind: this session chose typing.
    EXPECT_TRUE(desk.session.callsOf("Unlock").empty());

    // The lock screen accepts it; nothing more is typed.
    desk.session.updateProperties(ProgramAtDesk::kSession, {{"LockedHint", false}});
    desk.advertise(-50, std::chrono::seconds(3), [] { return false; });
    lockScreen.read();
    EXPECT_EQ(lockScreen.submitted().size(), 1u);
    EXPECT_EQ(log().find("battery staple"), std::string::npos) << "the password reached the log";

    desk.program.terminate();
    ASSERT_TRUE(desk.program.waitForFinished(10000)) << log();
    EXPECT_EQ(desk.program.exitCode(), 0) << log();
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
