#include "platform/linux/SecretServiceKeychain.h"

#include "platform/sim/RecordingLogSink.h"
#include "support/linux/TestBuses.h"
#include "unlock/PasswordStore.h"

#include <QDBusConnectionInterface>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <fstream>
#include <utility>

extern char** environ;

namespace ambleguard::linuxdesktop {
namespace {

using test::TestBus;
using test::TestBuses;

// A real GNOME Keyring, unlocked with a password of its own, on the test's private session bus
// (its keyrings in the test's folder).
class SecretServiceKeychainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::access("/usr/bin/gnome-keyring-daemon", X_OK) != 0) {
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
        const auto home = buses.directory() / "home";
        std::filesystem::create_directories(home);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
        const auto unlockFile = buses.directory() / "keyring-unlock";
        std::ofstream(unlockFile) << "keyring's own password";

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, unlockFile.c_str(), O_RDONLY, 0);
        const auto output = buses.directory() / "keyring.log";
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<std::string> args = {"/usr/bin/gnome-keyring-daemon", "--foreground",
                                         "--unlock", "--components=secrets"};
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ASSERT_EQ(::posix_spawn(&daemon_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);

        // Asking whether the name is owned never starts a second daemon; calling it would.
        auto session = buses.connect(TestBus::session);
        ASSERT_TRUE(test::waitUntil(
            [&] {
                return session.interface()->isServiceRegistered("org.freedesktop.secrets").value();
            },
            std::chrono::seconds(10)));
    }

    void TearDown() override {
        if (daemon_ > 0) {
            ::kill(daemon_, SIGTERM);
            ::waitpid(daemon_, nullptr, 0);
        }
    }

    TestBuses buses;
    pid_t daemon_ = -1;
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
    ::kill(daemon_, SIGSTOP);
    const auto read = keychain.readItem("ambleguard-test");
    ::kill(daemon_, SIGCONT);
    EXPECT_NE(read.status, 0);
    EXPECT_FALSE(read.data.has_value());
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
