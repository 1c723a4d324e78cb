#include "platform/linux/SecretServiceKeychain.h"

#include "platform/sim/RecordingLogSink.h"
#include "support/linux/GnomeKeyring.h"
#include "support/linux/TestBuses.h"
#include "unlock/PasswordStore.h"

#include <gtest/gtest.h>

#include <csignal>

#include <memory>
#include <utility>

namespace ambleguard::linuxdesktop {
namespace {

using test::TestBus;
using test::TestBuses;

// A real GNOME Keyring, unlocked with a password of its own, on the test's private session bus
// (its keyrings in the test's folder).
class SecretServiceKeychainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::GnomeKeyring::installed()) {
            GTEST_SKIP() << "gnome-keyring is not installed";
        }
        // The secret store's client library connects to the session bus once per process, so
        // a second test in the same process would talk to the first test's (stopped) bus.
        // CTest runs each test in a process of its own.
        static bool busUsed = false;
        if (std::exchange(busUsed, true)) {
            GTEST_SKIP() << "needs a process of its own (run it through ctest)";
        }
        ASSERT_TRUE(buses.ok());
        // The store's client library raises SIGTERM when its session bus closes, as this test's
        // private bus does at the end (the program takes SIGTERM as a request to quit).
        std::signal(SIGTERM, SIG_IGN);
        keyring = std::make_unique<test::GnomeKeyring>(buses);
        ASSERT_TRUE(keyring->ready());
    }

    TestBuses buses;
    std::unique_ptr<test::GnomeKeyring> keyring;
    sim::RecordingLogSink log;
};

TEST_F(SecretServiceKeychainTest, StoresReadsReplacesAndDeletesThePassword) {
    SecretServiceKeychain keychain(log);
    PasswordStore store(keychain, log, "ScreenUnlock");
    const std::string password = "pässwörd \xF0\x9F\x98\x80 with 24+ units";

    EXPECT_FALSE(store.retrievePassword().has_value());
    ASSERT_TRUE(store.storePassword(password));
    {
        // Another client of the store (a later run of the program) finds it.
        SecretServiceKeychain later(log);
        const auto read = later.readItem(PasswordStore::keychainService);
        ASSERT_EQ(read.status, 0);
        EXPECT_EQ(read.data, password);
    }
    ASSERT_TRUE(store.storePassword("second"));
    const auto replaced = keychain.readItem(PasswordStore::keychainService);
    EXPECT_EQ(replaced.data, std::optional<std::string>("second"));

    store.deletePassword();
    EXPECT_EQ(keychain.readItem(PasswordStore::keychainService).status, Keychain::itemNotFound);
    EXPECT_FALSE(log.containsFragment("pässwörd"));
    EXPECT_FALSE(log.containsFragment("second"));
}

TEST_F(SecretServiceKeychainTest, AStoreThatStopsAnsweringIsAFailureNotAHang) {
    SecretServiceKeychain keychain(log, std::chrono::milliseconds(1500));
    ASSERT_EQ(keychain.addItem("ambleguard-test", "", "x"), 0);
    ::kill(keyring->pid(), SIGSTOP);
    const auto read = keychain.readItem("ambleguard-test");
    ::kill(keyring->pid(), SIGCONT);
    EXPECT_NE(read.status, 0);
    EXPECT_FALSE(read.data.has_value());
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
