#pragma once

#include "base/MainQueue.h"
#include "platform/HttpClient.h"

#include <string>
#include <vector>

namespace ambleguard::sim {

// A network with one web service, which gives the same answer to every request (by default an
// empty 200 response). Answers arrive on the main loop after `latency` seconds, never inside
// the call. Every requested address is kept.
class SimHttpClient final : public HttpClient {
  public:
    explicit SimHttpClient(MainQueue& loop, HttpResult answer = HttpResponse{200, ""},
                           double latency = 0.0)
        : loop_(loop), answer_(std::move(answer)), latency_(latency) {}

    void get(std::string url, Completion completion) override {
        requests_.push_back(std::move(url));
        // Not cancelled with this object: a request in flight completes, as on a real network.
        (void)loop_.postAfter(latency_, [answer = answer_, completion = std::move(completion)] {
            if (completion) {
                completion(answer);
            }
        });
    }

    void answerWith(HttpResult answer) { answer_ = std::move(answer); }
    const std::vector<std::string>& requests() const { return requests_; }

  private:
    MainQueue& loop_;
    HttpResult answer_;
    double latency_;
    std::vector<std::string> requests_;
};

}  // namespace ambleguard::sim
