#pragma once

#include "base/Log.h"
#include "platform/Keychain.h"

#include <chrono>
#include <functional>

namespace QKeychain {
class Job;
}

namespace ambleguard::linuxdesktop {

// The user's secret store through QtKeychain: the freedesktop secret service (GNOME Keyring,
// KeePassXC and others) or KWallet, whichever the desktop runs. Items are keyed by service and
// the user's login name.
//
// QtKeychain only answers through its event loop, while the callers here wait for the answer;
// the jobs run on a thread of their own so that waiting on the main thread never runs other
// main-thread work in the middle of a caller's step. QtKeychain queues the jobs of the whole
// process on the thread of its first job, so every instance shares that one thread. A store that
// does not answer in time (a prompt left open) counts as a failure. QtKeychain and the store keep
// copies of the secret in their own buffers, which they release without our say.
class SecretServiceKeychain final : public Keychain {
  public:
    static constexpr int kTimedOut = -2;
    static constexpr int kNoStore = -3;
    static constexpr int kAccessDenied = -4;
    static constexpr int kFailed = -5;

    explicit SecretServiceKeychain(LogSink& logSink,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(30));
    SecretServiceKeychain(const SecretServiceKeychain&) = delete;
    SecretServiceKeychain& operator=(const SecretServiceKeychain&) = delete;
    ~SecretServiceKeychain() override = default;

    // The label is the store's to choose here (QtKeychain names items by service and account).
    int addItem(std::string_view service, std::string_view label, std::string_view data) override;
    ReadResult readItem(std::string_view service) override;
    int deleteItem(std::string_view service) override;

  private:
    ReadResult run(const char* what, std::function<QKeychain::Job*()> makeJob);

    Logger log_;
    std::chrono::milliseconds timeout_;
};

}  // namespace ambleguard::linuxdesktop
