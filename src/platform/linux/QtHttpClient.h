#pragma once

#include "platform/HttpClient.h"

#include <memory>

class QNetworkAccessManager;

namespace ambleguard::linuxdesktop {

// GET requests through Qt Network. Lives on a thread with a running Qt event loop (the main
// thread) and delivers every completion there. A request that has not finished after the
// timeout is abandoned and reported as a transport error.
class QtHttpClient final : public HttpClient {
  public:
    static constexpr int kDefaultTimeoutMs = 30000;

    explicit QtHttpClient(int timeoutMs = kDefaultTimeoutMs);
    // Requests still in flight are abandoned without calling their completions.
    ~QtHttpClient() override;
    QtHttpClient(const QtHttpClient&) = delete;
    QtHttpClient& operator=(const QtHttpClient&) = delete;

    void get(std::string url, Completion completion) override;

  private:
    int timeoutMs_;
    std::unique_ptr<QNetworkAccessManager> manager_;
};

}  // namespace ambleguard::linuxdesktop
