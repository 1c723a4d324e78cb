#include "platform/linux/XTestKeyInjector.h"

#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "support/linux/FocusedWindow.h"
#include "support/linux/XvfbServer.h"

#include <gtest/gtest.h>

// After gtest: Xlib's macros (None, Bool) would rewrite its names.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <memory>
#include <string>
#include <vector>

namespace ambleguard::linuxdesktop {
namespace {

// A private Xvfb and a focused window of our own that records the characters it receives, read
// through the keyboard mapping as any X client reads it.
class XTestKeyInjectorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::XvfbServer::installed()) {
            GTEST_SKIP() << "Xvfb is not installed";
        }
        server_ = std::make_unique<test::XvfbServer>(600);
        ASSERT_TRUE(server_->ready());
        window_ = std::make_unique<test::FocusedWindow>(server_->display());
        ASSERT_TRUE(window_->ok());
        client_ = window_->display();

        injector_ = XTestKeyInjector::open(server_->display(), loop_, log_, [this] { ++posted_; });
        ASSERT_NE(injector_, nullptr);
    }

    void TearDown() override {
        injector_.reset();
        window_.reset();
        server_.reset();
    }

    // Every character received so far (Backspace and Return as their keysyms).
    std::u32string received() { return window_->read(); }

    std::vector<KeySym> keysymsOf(KeyCode code) {
        int perCode = 0;
        KeySym* syms = XGetKeyboardMapping(client_, code, 1, &perCode);
        std::vector<KeySym> result(syms, syms + perCode);
        XFree(syms);
        return result;
    }

    std::unique_ptr<test::XvfbServer> server_;
    std::unique_ptr<test::FocusedWindow> window_;
    Display* client_ = nullptr;
    sim::SimClock clock_;
    sim::SimMainLoop loop_{clock_};
    sim::RecordingLogSink log_;
    int posted_ = 0;
    std::unique_ptr<XTestKeyInjector> injector_;
};

TEST_F(XTestKeyInjectorTest, TypesAnyCharacterAndTheFixedKeys) {
    EXPECT_TRUE(injector_->mayPostEvents());
    // ASCII, Latin-1, a character outside Latin-1, an emoji (a surrogate pair), a repeat, and a
    // lone surrogate that cannot be typed as itself.
    // Two runs before the window reads anything, as a busy lock screen would: the first run's
    // characters must still be on their codes when it reads them.
    injector_->pressCarrying(u"pA\u00e4\u20ac");
    injector_->pressCarrying(u"\U0001F600pp\xD800z");
    injector_->press(InjectedKey::deleteBackward);
    injector_->press(InjectedKey::space);
    injector_->press(InjectedKey::returnKey);

    EXPECT_EQ(received(), std::u32string(U"pA\u00e4\u20ac\U0001F600pp\uFFFDz") +
                              static_cast<char32_t>(XK_BackSpace) + U" " +
                              static_cast<char32_t>(XK_Return));
    EXPECT_EQ(posted_, 5);
}

TEST_F(XTestKeyInjectorTest, SpareKeysAreEmptiedAMomentAfterTheLastPress) {
    injector_->pressCarrying(u"\u20ac");
    XSync(client_, False);
    KeyCode used = XKeysymToKeycode(client_, 0x010020AC);
    ASSERT_NE(used, 0);

    // Still held just before the moment passes (the lock screen may not have read it yet).
    loop_.advanceBy(XTestKeyInjector::kScratchHoldSeconds - 0.01);
    EXPECT_EQ(keysymsOf(used).at(0), static_cast<KeySym>(0x010020AC));

    loop_.advanceBy(0.02);
    for (KeySym sym : keysymsOf(used)) {
        EXPECT_EQ(sym, static_cast<KeySym>(NoSymbol));
    }
    EXPECT_EQ(XKeysymToKeycode(client_, 0x010020AC), 0);
}

TEST_F(XTestKeyInjectorTest, TheLayoutsOwnKeysAreNeverTouched) {
    const KeyCode a = XKeysymToKeycode(client_, XK_a);
    const auto before = keysymsOf(a);
    injector_->pressCarrying(u"a\u00e9");
    EXPECT_EQ(received(), U"a\u00e9");
    injector_->releaseScratchKeys();
    EXPECT_EQ(keysymsOf(a), before);
}

TEST(XTestKeyInjectorOpenTest, NoServerNoInjector) {
    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::RecordingLogSink log;
    EXPECT_EQ(XTestKeyInjector::open(":987", loop, log, {}), nullptr);
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
