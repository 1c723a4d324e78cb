#pragma once

#include "base/Log.h"
#include "bluetooth/ConnectionAttempts.h"

#include <string_view>

namespace ambleguard {

// Stands in for the connection feed until the program has one: readings then come from
// advertisements only. Requests are noted in the debug log so that a probe is still visible.
class NoConnectionFeed final : public ConnectionAttempts {
  public:
    explicit NoConnectionFeed(LogSink& logSink) : log_(logSink, "BT") {}

    void attemptConnection(std::string_view trigger) override {
        log_.debug("No connection feed: connect attempt ignored (trigger: {})", trigger);
    }
    void tearDownConnectionFeed(std::string_view, bool) override {}

  private:
    Logger log_;
};

}  // namespace ambleguard
