#pragma once

#include "base/MainQueue.h"
#include "platform/NotificationPermission.h"
#include "platform/NotificationSettingsLink.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace ambleguard::sim {

// The system's notification permission as a user would answer it. Each request takes the next
// scripted answer (denied once the script runs out); a granted request authorizes. Answers
// arrive on the main loop, never inside the call.
class SimNotificationPermission final : public NotificationPermission {
  public:
    explicit SimNotificationPermission(MainQueue& loop) : loop_(loop) {}

    void getAuthorization(std::function<void(NotificationAuthorization)> answer) override {
        loop_.post([this, answer = std::move(answer)] { answer(status_); });
    }
    void requestAuthorization(std::uint32_t options, std::function<void(bool)> answer) override {
        requested_.push_back(options);
        bool granted = false;
        if (!answers_.empty()) {
            granted = answers_.front();
            answers_.pop_front();
        }
        if (granted) {
            status_ = NotificationAuthorization::authorized;
        }
        loop_.post([granted, answer = std::move(answer)] { answer(granted); });
    }

    void setStatus(NotificationAuthorization status) { status_ = status; }
    void userWillAnswer(std::deque<bool> answers) { answers_ = std::move(answers); }
    // The options of every request, in order.
    const std::vector<std::uint32_t>& requested() const { return requested_; }

  private:
    MainQueue& loop_;
    NotificationAuthorization status_ = NotificationAuthorization::notDetermined;
    std::deque<bool> answers_;
    std::vector<std::uint32_t> requested_;
};

// The desktop's notification settings page, counted instead of opened.
class SimNotificationSettingsLink final : public NotificationSettingsLink {
  public:
    bool isAvailable() const override { return available_; }
    bool open() override {
        if (!available_) {
            return false;
        }
        ++opened_;
        return true;
    }
    void setAvailable(bool available) { available_ = available; }
    int opened() const { return opened_; }

  private:
    bool available_ = true;
    int opened_ = 0;
};

}  // namespace ambleguard::sim
