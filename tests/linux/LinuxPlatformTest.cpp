#include "platform/linux/LinuxPlatform.h"

#include "support/linux/TestBuses.h"
#include "support/linux/XvfbServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace ambleguard::linuxdesktop {
namespace {

using test::TestBuses;

// Sets an environment variable (or removes it) for one scope.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// How the platform unlocks: asking the session, unless typing was chosen and the session is
// X11 with XTEST; a Wayland session or no X server falls back to asking.
TEST(LinuxPlatformTest, TypingOnlyWhenChosenAndPossible) {
    if (!test::XvfbServer::installed()) {
        GTEST_SKIP() << "Xvfb is not installed";
    }
    TestBuses buses;
    ASSERT_TRUE(buses.ok());
    test::XvfbServer x11(700);
    ASSERT_TRUE(x11.ready());
    ScopedEnvironment display("DISPLAY", x11.display().c_str());
    ScopedEnvironment sessionType("XDG_SESSION_TYPE", "x11");
    ScopedEnvironment noWayland("WAYLAND_DISPLAY", nullptr);

    LinuxPlatformOptions options;
    options.settingsFile = buses.configHome() / "ambleguard" / "settings.json";
    {
        LinuxPlatform platform(options);
        EXPECT_EQ(platform.ports().unlockMethod, UnlockMethod::sessionRequest);
        EXPECT_FALSE(platform.ports().keyInjector.mayPostEvents());
    }
    options.unlockByTyping = true;
    {
        LinuxPlatform platform(options);
        const auto ports = platform.ports();
        EXPECT_EQ(ports.unlockMethod, UnlockMethod::keystrokes);
        EXPECT_TRUE(ports.keyInjector.mayPostEvents());
        EXPECT_EQ(&ports.keyInjector, platform.keyInjector.get());
        EXPECT_EQ(&ports.keychain, platform.keychain.get());
    }
    {
        ScopedEnvironment wayland("WAYLAND_DISPLAY", "wayland-0");
        LinuxPlatform platform(options);
        EXPECT_EQ(platform.ports().unlockMethod, UnlockMethod::sessionRequest);
        EXPECT_EQ(platform.keyInjector, nullptr);
        EXPECT_EQ(platform.keychain, nullptr);
    }
    {
        ScopedEnvironment gone("DISPLAY", ":999");
        LinuxPlatform platform(options);
        EXPECT_EQ(platform.ports().unlockMethod, UnlockMethod::sessionRequest);
    }
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
