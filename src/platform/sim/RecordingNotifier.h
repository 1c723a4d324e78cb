#pragma once

#include "base/Signal.h"
#include "platform/Notifier.h"

#include <optional>
#include <string>
#include <vector>

namespace ambleguard::sim {

// Keeps every notification request. Deliveries succeed unless a failure text is set, which is
// then reported to each completion.
class RecordingNotifier final : public Notifier {
  public:
    void deliver(NotificationRequest request, Completion completion) override {
        delivered_.push_back(std::move(request));
        posted_.emit(NotificationRequest(delivered_.back()));
        if (completion) {
            completion(failure_ ? Result<void>::failure(*failure_) : Result<void>::success());
        }
    }

    const std::vector<NotificationRequest>& delivered() const { return delivered_; }
    void failWith(std::optional<std::string> error) { failure_ = std::move(error); }
    // Raised for every request as it is delivered.
    [[nodiscard]] Connection onDeliver(std::function<void(const NotificationRequest&)> observer) {
        return posted_.connect(std::move(observer));
    }

  private:
    std::vector<NotificationRequest> delivered_;
    std::optional<std::string> failure_;
    Signal<const NotificationRequest&> posted_;
};

}  // namespace ambleguard::sim
